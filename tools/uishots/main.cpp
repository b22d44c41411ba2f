// uishots --out DIR [--port PORT] [--qss FILE] [--lang LANGUAGE --langdir DIR --suffix TEXT]
//         console|wizard|settings
// Draws the manual connection console or the setup wizard, connected to the
// logger simulator listening on 127.0.0.1:PORT, or the settings dialog's
// pages, into PNG files in DIR, in the language given (file names end in TEXT).

#include "store/workfolder.h"
#include "ui/manualconnection.h"
#include "ui/settingsdialog.h"
#include "ui/startup.h"

#include "nexil/configuration/setupdialog.h"
#include "nexil/protocol/nexil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QRadioButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

QTextStream err(stderr);
QString suffix;

// Runs the event loop until `done` holds; false after `ms`.
bool waitFor(const std::function<bool()> &done, int ms = 20000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool save(QWidget *widget, const QString &dir, const QString &name)
{
    QCoreApplication::processEvents();
    const QString path = dir + QLatin1Char('/') + name + suffix + QStringLiteral(".png");
    if (widget->grab().save(path))
        return true;
    err << "cannot write " << path << Qt::endl;
    return false;
}

template<class T> T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

int console(const QString &out, quint16 port)
{
    ManualConnection c(nullptr);
    c.show();
    c.presetConnection(QStringLiteral("127.0.0.1"), port);
    if (!save(&c, out, QStringLiteral("console-disconnected")))
        return 1;
    child<QAbstractButton>(&c, "btnConnect")->click();
    Nexil *nexil = c.findChild<Nexil *>();
    if (!waitFor([&] { return child<QGroupBox>(&c, "gbCommands")->isEnabled() && !nexil->isBusy(); })) {
        err << "the console did not finish reading the device" << Qt::endl;
        return 1;
    }
    auto *tabs = child<QTabWidget>(&c, "tabWidget");
    const char *const names[] = {"instant", "maximum", "minimum", "alarms"};
    for (int tab = 0; tab < 4; ++tab) {
        tabs->setCurrentIndex(tab);
        if (!save(&c, out, QStringLiteral("console-%1").arg(QLatin1String(names[tab]))))
            return 1;
    }
    tabs->setCurrentIndex(0);
    child<QAbstractButton>(&c, "btnDownloadData")->click();
    QProgressDialog *progress = nullptr;
    if (!waitFor([&] { return (progress = c.findChild<QProgressDialog *>()) && progress->value() >= 3; })) {
        err << "the download did not start" << Qt::endl;
        return 1;
    }
    if (!save(progress, out, QStringLiteral("console-download")))
        return 1;
    progress->cancel();
    return 0;
}

int wizard(const QString &out, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000)) {
        err << "cannot connect: " << socket.errorString() << Qt::endl;
        return 1;
    }
    Nexil nexil;
    nexil.setConnection(&socket);
    SetupDialog dialog(&nexil);
    dialog.show();
    if (!save(&dialog, out, QStringLiteral("setupwizard-0-reading")))
        return 1;
    auto *pages = child<QStackedWidget>(&dialog, "stackedWidget");
    if (!waitFor([&] { return pages->currentIndex() == 1; })) {
        err << "the wizard did not finish reading the device" << Qt::endl;
        return 1;
    }
    const char *const names[] = {"", "setup", "names", "calibrations", "alarms", "send"};
    for (int page = 1; page <= 5; ++page) {
        if (page == 5) {
            child<QRadioButton>(&dialog, "rbSendAll")->click();
            child<QLineEdit>(&dialog, "txtPassword")->setText(QStringLiteral("1234"));
        }
        if (!save(&dialog, out,
                  QStringLiteral("setupwizard-%1-%2").arg(page).arg(QLatin1String(names[page]))))
            return 1;
        if (page < 5)
            child<QAbstractButton>(&dialog, "btnNext")->click();
    }
    nexil.closeConnection();
    return 0;
}

int settings(const QString &out)
{
    SettingsDialog dialog(QCoreApplication::applicationDirPath(), nullptr);
    dialog.show();
    auto *pages = child<QListWidget>(&dialog, "listWidget");
    const char *const names[] = {"look", "file", "language", "collection", "mail", "store"};
    for (int page = 0; page < pages->count() && page < 6; ++page) {
        pages->setCurrentRow(page);
        if (!save(&dialog, out, QStringLiteral("settings-%1").arg(QLatin1String(names[page]))))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pictures of the console or the setup wizard."));
    parser.addHelpOption();
    parser.addOptions(
        {{QStringLiteral("out"), QStringLiteral("Folder for the pictures."), QStringLiteral("DIR")},
         {QStringLiteral("port"), QStringLiteral("The simulator's TCP port."), QStringLiteral("PORT")},
         {QStringLiteral("qss"), QStringLiteral("Style sheet to apply."), QStringLiteral("FILE")},
         {QStringLiteral("lang"), QStringLiteral("Language of the texts (tr_tr, en_us)."),
          QStringLiteral("LANGUAGE")},
         {QStringLiteral("langdir"), QStringLiteral("Folder of the translations."), QStringLiteral("DIR")},
         {QStringLiteral("suffix"), QStringLiteral("Text at the end of each file name."),
          QStringLiteral("TEXT")}});
    parser.addPositionalArgument(QStringLiteral("window"), QStringLiteral("console, wizard or settings"));
    parser.process(app);
    const QString window = parser.positionalArguments().value(0);
    bool ok = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&ok);
    const bool needsPort = window != QLatin1String("settings");
    if ((needsPort && (!ok || port < 1 || port > 65535)) || !parser.isSet(QStringLiteral("out")) ||
        (window != QLatin1String("console") && window != QLatin1String("wizard") && needsPort)) {
        err << "usage: uishots --out DIR [--port PORT] [--qss FILE] console|wizard|settings" << Qt::endl;
        return 2;
    }
    QApplication::setStyle(QStringLiteral("fusion"));
    suffix = parser.value(QStringLiteral("suffix"));
    if (parser.isSet(QStringLiteral("lang")) &&
        !Startup::installTranslation(parser.value(QStringLiteral("lang")),
                                     parser.value(QStringLiteral("langdir")))) {
        err << "no translation " << parser.value(QStringLiteral("lang")) << " in "
            << parser.value(QStringLiteral("langdir")) << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("qss"))) {
        QFile sheet(parser.value(QStringLiteral("qss")));
        if (sheet.open(QIODevice::ReadOnly))
            app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }
    // The console's settings and downloads stay in a folder of their own.
    QTemporaryDir work;
    WorkFolder::setCurrent(WorkFolder::resolve(work.path(), QString(), QString(), QString()));
    QSettings(WorkFolder::current().settingsFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("SETTINGS/defaultpath"), work.filePath(QStringLiteral("files")));

    const QString out = parser.value(QStringLiteral("out"));
    if (window == QLatin1String("settings"))
        return settings(out);
    return window == QLatin1String("console") ? console(out, quint16(port)) : wizard(out, quint16(port));
}
