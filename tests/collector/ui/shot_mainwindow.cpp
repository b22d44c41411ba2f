// Draws the main window with sixty stations collecting, filtered to the
// failing ones, into a PNG (scripts/screenshots runs it).
// Usage: shot_mainwindow OUT.png LANGDIR STYLESHEET [WIDTHxHEIGHT]

#include "collection/workercontroller.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "ui/mainwindow.h"
#include "ui/startup.h"
#include "ui/stationfiltermodel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        QTextStream(stderr) << "usage: shot_mainwindow OUT.png LANGDIR STYLESHEET [WIDTHxHEIGHT]\n";
        return 2;
    }
    QApplication::setStyle(QStringLiteral("fusion"));
    QFile sheet(args.at(3));
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    QApplication::setApplicationDisplayName(QStringLiteral("Velk Data Collector"));
    Startup::installTranslation(QStringLiteral("tr_tr"), args.at(2));

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    DatabaseConnection db;
    if (!db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()))
        return 1;
    const char *const basins[] = {"Sakarya", "Kızılırmak", "Yeşilırmak", "Seyhan", "Ceyhan", "Fırat"};
    for (int i = 0; i < 60; ++i) {
        DBStation s;
        s.code = QStringLiteral("D%1A%2")
                     .arg(i / 10 + 1, 2, 10, QLatin1Char('0'))
                     .arg(i + 1, 3, 10, QLatin1Char('0'));
        s.name = QStringLiteral("%1 %2").arg(QString::fromUtf8(basins[i % 6])).arg(i + 1);
        s.title = QStringLiteral("%1 - %2 Köprüsü").arg(s.code, QString::fromUtf8(basins[i % 6]));
        s.device_type = QStringLiteral("TQM510");
        s.ip = QStringLiteral("10.20.%1.%2").arg(i / 10).arg(i + 10);
        s.port = 4380;
        s.active = i % 13 != 5;
        s.file_path = QStringLiteral("files/") + s.code;
        s.file_name = s.code;
        if (DatabaseConnection::insertStation(s) < 0)
            return 1;
    }

    auto *window = new MainWindow;
    StationTableModel *model = window->stationModel();
    // Collecting, with no visit let through: the statuses below stay as drawn.
    window->workerController()->setVisitGate([](int) { return false; });
    window->findChild<QAction *>(QStringLiteral("actStartCollecting"))->trigger();
    const QDateTime now = QDateTime::fromString(QStringLiteral("2026-12-08T14:20:00"), Qt::ISODate);
    for (int i = 0; i < model->rowCount(); ++i) {
        DBStation s = model->stations().at(i);
        s.last_connection_time = now.addSecs(-60 * (i % 17));
        switch (i % 9) {
        case 2:
            s.has_error = true;
            s.status = QStringLiteral("Yeniden deneme 2/3, 5 dk sonra: Connection refused");
            break;
        case 6:
            s.has_error = true;
            s.status = QStringLiteral("/var/lib/tqm510/files/%1/%1_08122026.xml veri dosyası kaydedilemedi: "
                                      "No space left on device")
                           .arg(s.code);
            break;
        case 7:
            s.has_error = i % 2 == 0;
            s.status = s.has_error ? QStringLiteral("Host unreachable") : QStringLiteral("Bağlanılıyor..");
            break;
        default:
            s.status = QStringLiteral("Başarılı (cihaz saati 3 sn farklı)");
            break;
        }
        model->showPublishedStatus(s);
    }
    auto *filter = window->findChild<QComboBox *>(QStringLiteral("cmbFilter"));
    filter->setCurrentIndex(filter->findData(StationFilterModel::OnlyFailing));

    QSize size(1280, 800);
    if (args.size() > 4) {
        const QStringList parts = args.at(4).split(QLatin1Char('x'));
        if (parts.size() == 2)
            size = QSize(parts.at(0).toInt(), parts.at(1).toInt());
    }
    window->resize(size);
    window->show();
    QApplication::processEvents();
    const bool saved = window->grab().save(args.at(1));
    window->workerController()->stopCollecting();
    delete window;
    DatabaseConnection::close();
    return saved ? 0 : 1;
}
