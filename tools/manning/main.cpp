#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The program speaks Turkish: so do Qt's own buttons and file dialog.
    installQtTurkish(&app);
    MainWindow window;
    window.show();
    return app.exec();
}
