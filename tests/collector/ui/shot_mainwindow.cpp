// Draws the main window with sixty stations collecting into a PNG
// (scripts/screenshots runs it): failing stations (one of them in its next
// visit, still red), clock warnings, switched-off stations and statuses of
// every kind, in the language given. FILTER "failing" narrows the list.
// Usage: shot_mainwindow OUT.png LANGDIR STYLESHEET [WIDTHxHEIGHT [LANGUAGE [FILTER]]]

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
        QTextStream(stderr)
            << "usage: shot_mainwindow OUT.png LANGDIR STYLESHEET [WIDTHxHEIGHT [LANGUAGE [FILTER]]]\n";
        return 2;
    }
    QApplication::setStyle(QStringLiteral("fusion"));
    QFile sheet(args.at(3));
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    QApplication::setApplicationDisplayName(QStringLiteral("Velk Data Collector"));
    const QString language = args.value(5, QStringLiteral("tr_tr"));
    Startup::installTranslation(language, args.at(2));

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
    const auto worker = [](const char *text) { return QCoreApplication::translate("Worker", text); };
    for (int i = 0; i < model->rowCount(); ++i) {
        DBStation s = model->stations().at(i);
        s.last_connection_time = now.addSecs(-60 * (i % 17));
        bool failed = false;
        bool drift = false;
        switch (i % 9) {
        case 2:
            failed = true;
            s.status = worker("Retry %1 of %2 in %3 min: %4")
                           .arg(2)
                           .arg(3)
                           .arg(5)
                           .arg(QStringLiteral("Connection refused"));
            break;
        case 4:
            // Timed out last time; its next visit is reading: still red.
            failed = true;
            s.status = worker("Reading parameters");
            break;
        case 6:
            failed = true;
            s.status = worker("Could not save the data file %1")
                           .arg(QStringLiteral("files/%1/%1_08122026.xml").arg(s.code));
            break;
        case 7:
            s.status = QStringLiteral("Downloading packages %1/%2").arg(i % 17 + 1).arg(17);
            break;
        case 8:
            drift = true;
            s.status =
                worker("%1 (device clock off by %2 s)").arg(QStringLiteral("Download completed.")).arg(58700);
            break;
        default:
            s.status = QStringLiteral("Download completed.");
            break;
        }
        // The visit that ended, then what the running one shows.
        s.has_error = failed;
        model->showPublishedStatus(s);
        model->visitEnded(s.id, failed);
        model->setVisitFacts(s.id, drift, failed ? 1 + i % 4 : 0, now.addSecs(-3600 * (i % 5 + 1)));
        if (i % 9 == 4) {
            s.has_error = false;
            model->showPublishedStatus(s);
        }
    }
    if (args.value(6) == QLatin1String("failing")) {
        auto *filter = window->findChild<QComboBox *>(QStringLiteral("cmbFilter"));
        filter->setCurrentIndex(filter->findData(StationFilterModel::OnlyFailing));
    }

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
