// Worker statuses written through the controller and the table model into
// the database, durably (WAL, synchronous=FULL), in two patterns:
//  - one at a time: each status stored before the next arrives (a sync each);
//  - from threads: 50 threads post their statuses as the workers do, queued
//    to the main thread, which stores what has arrived at each pass.
//   bench_statusupdates [updates=1000] [directory=.]

#include "collection/workercontroller.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int stationCount = 50;

int storedWith(const QString &prefix)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM stations WHERE status LIKE ?"));
    q.addBindValue(prefix + QLatin1Char('%'));
    return q.exec() && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    registerDBStation();
    const QStringList args = app.arguments();
    const int updates = args.size() > 1 ? args.at(1).toInt() : 1000;
    // On the disk of the given directory: durability has its cost there.
    QTemporaryDir dir(QDir(args.size() > 2 ? args.at(2) : QDir::currentPath()).filePath("bench-XXXXXX"));
    QDir::setCurrent(dir.path());
    DatabaseConnection db;
    if (!db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()))
        return 1;
    for (int i = 0; i < stationCount; ++i) {
        DBStation s;
        s.title = s.name = s.code = QStringLiteral("S%1").arg(i);
        if (DatabaseConnection::insertStation(s) < 0)
            return 1;
    }

    bool ok = true;
    {
        StationTableModel model;
        WorkerController controller(&model);
        const QList<DBStation> list = model.stations();

        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < updates; ++i) {
            DBStation s = list.at(i % list.size());
            s.status = QStringLiteral("Single %1").arg(i);
            controller.onWorkerStatusChanged(s);
            controller.flushStatuses();
        }
        const double single = double(timer.nsecsElapsed()) / 1e9;
        ok = ok && storedWith(QStringLiteral("Single")) == stationCount;
        std::printf("status updates one at a time: %d in %.3f s, %.0f per second\n", updates, single,
                    updates / single);

        int published = 0;
        QObject::connect(&controller, &WorkerController::stationStatusPublished, &app, [&] {
            if (++published == updates)
                QCoreApplication::exit(0);
        });
        timer.restart();
        std::vector<std::thread> posters;
        for (int t = 0; t < stationCount; ++t) {
            posters.emplace_back([&, t] {
                for (int i = t; i < updates; i += stationCount) {
                    DBStation s = list.at(t);
                    s.status = QStringLiteral("Threaded %1").arg(i);
                    s.values[size_t(i % DBStation::ValueCount)] = float(i);
                    QMetaObject::invokeMethod(&controller, "onWorkerStatusChanged", Qt::QueuedConnection,
                                              Q_ARG(DBStation, s));
                }
            });
        }
        QCoreApplication::exec();
        const double threaded = double(timer.nsecsElapsed()) / 1e9;
        for (std::thread &p : posters)
            p.join();
        ok = ok && storedWith(QStringLiteral("Threaded")) == stationCount;
        std::printf("status updates from %d threads: %d in %.3f s, %.0f per second\n", stationCount, updates,
                    threaded, updates / threaded);
        controller.stopCollecting();
    }
    DatabaseConnection::close();
    return ok ? 0 : 1;
}
