// Worker statuses while another process holds the database's write lock:
// stations publish a status every interval, from a thread as the workers do,
// before, during and after a lock of the given length. Prints how late the
// status lines came, how long the main thread was held, how many statuses
// were kept and stored after the lock, and whether any was lost or stored
// out of order (a trigger records every stored status).
//   bench_lockeddatabase [lockSeconds=70] [stations=10] [intervalMs=500] [directory=.]

#include "collection/workercontroller.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// The other process: takes the write lock, says so, holds it, commits.
int holdLock(const QString &path, int seconds)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    if (!db.open())
        return 1;
    QSqlQuery q;
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")) || !q.exec(QStringLiteral("UPDATE stations SET no = no")))
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    QThread::sleep(ulong(seconds));
    return q.exec(QStringLiteral("COMMIT")) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--hold"))
        return holdLock(args.at(2), args.at(3).toInt());

    registerDBStation();
    const int lockSeconds = args.size() > 1 ? args.at(1).toInt() : 70;
    const int stationCount = args.size() > 2 ? args.at(2).toInt() : 10;
    const int intervalMs = args.size() > 3 ? args.at(3).toInt() : 500;
    QTemporaryDir dir(QDir(args.size() > 4 ? args.at(4) : QDir::currentPath()).filePath("bench-XXXXXX"));
    QDir::setCurrent(dir.path());
    const QString path = dir.filePath(QStringLiteral("data.db"));
    DatabaseConnection db;
    if (!db.connectToDatabase(path, QString(), 0, QString(), QString()))
        return 1;
    for (int i = 0; i < stationCount; ++i) {
        DBStation s;
        s.title = s.name = s.code = QStringLiteral("S%1").arg(i);
        if (DatabaseConnection::insertStation(s) < 0)
            return 1;
    }
    {
        QSqlQuery q;
        if (!q.exec(
                QStringLiteral("CREATE TABLE history (n INTEGER PRIMARY KEY, id INTEGER, status TEXT)")) ||
            !q.exec(QStringLiteral("CREATE TRIGGER record AFTER UPDATE OF status ON stations "
                                   "WHEN NEW.status IS NOT OLD.status BEGIN "
                                   "INSERT INTO history (id, status) VALUES (NEW.id, NEW.status); END")))
            return 1;
    }

    bool ok = true;
    {
        StationTableModel model;
        WorkerController controller(&model);
        const QList<DBStation> list = model.stations();

        // Every status carries its number; its posting time is kept by number.
        const int total = (2000 + lockSeconds * 1000 + 3000) / intervalMs;
        std::vector<qint64> postedAt(size_t(total), 0);
        std::vector<int> lastOf(size_t(stationCount), -1);
        QElapsedTimer clock;
        clock.start();

        int published = 0;
        qint64 worstLateNs = 0;
        QObject::connect(&controller, &WorkerController::stationStatusPublished, &app, [&](DBStation s) {
            const int n = s.status.mid(7).toInt();
            worstLateNs = std::max(worstLateNs, clock.nsecsElapsed() - postedAt[size_t(n)]);
            ++published;
        });
        int failingKept = 0;
        int storedAfter = 0;
        qint64 storedAtNs = 0;
        QObject::connect(&controller, &WorkerController::statusStoreFailing, &app,
                         [&](int kept) { failingKept = kept; });
        QObject::connect(&controller, &WorkerController::keptStatusesStored, &app, [&](int count) {
            storedAfter += count;
            storedAtNs = clock.nsecsElapsed();
        });
        int keptAtMost = 0;
        qint64 lastTickNs = clock.nsecsElapsed();
        qint64 worstStallNs = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &app, [&] {
            const qint64 now = clock.nsecsElapsed();
            worstStallNs = std::max(worstStallNs, now - lastTickNs);
            lastTickNs = now;
            keptAtMost = std::max(keptAtMost, controller.keptStatusCount());
        });
        tick.start(10);

        QProcess holder;
        qint64 lockedAtNs = 0;
        qint64 releasedAtNs = 0;
        QObject::connect(&holder, &QProcess::readyReadStandardOutput, &app, [&] {
            if (holder.readAllStandardOutput().contains("locked"))
                lockedAtNs = clock.nsecsElapsed();
        });
        QObject::connect(&holder, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &app,
                         [&] { releasedAtNs = clock.nsecsElapsed(); });
        QTimer::singleShot(2000, &app, [&] {
            holder.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--hold"), path, QString::number(lockSeconds)});
        });

        std::atomic_bool posting{true};
        std::thread poster([&] {
            for (int n = 0; n < total; ++n) {
                DBStation s = list.at(n % stationCount);
                s.status = QStringLiteral("Status %1").arg(n, 6, 10, QLatin1Char('0'));
                lastOf[size_t(n % stationCount)] = n;
                postedAt[size_t(n)] = clock.nsecsElapsed();
                QMetaObject::invokeMethod(&controller, "onWorkerStatusChanged", Qt::QueuedConnection,
                                          Q_ARG(DBStation, s));
                QThread::msleep(ulong(intervalMs));
            }
            posting = false;
        });
        // Until everything was posted and nothing is kept any more.
        QTimer done;
        QObject::connect(&done, &QTimer::timeout, &app, [&] {
            if (!posting && releasedAtNs > 0 && controller.keptStatusCount() == 0)
                QCoreApplication::exit(0);
        });
        done.start(100);
        QCoreApplication::exec();
        poster.join();
        controller.stopCollecting();

        // The database ends with each station's last status, and no station's
        // statuses were ever stored out of order.
        int lastRight = 0;
        for (int i = 0; i < stationCount; ++i) {
            QSqlQuery q;
            q.prepare(QStringLiteral("SELECT status FROM stations WHERE id = ?"));
            q.addBindValue(list.at(i).id);
            if (q.exec() && q.next() &&
                q.value(0).toString() ==
                    QStringLiteral("Status %1").arg(lastOf[size_t(i)], 6, 10, QLatin1Char('0')))
                ++lastRight;
        }
        int outOfOrder = 0;
        int historyRows = 0;
        {
            QSqlQuery q;
            q.exec(QStringLiteral("SELECT id, status FROM history ORDER BY n"));
            QMap<int, int> previous;
            while (q.next()) {
                ++historyRows;
                const int n = q.value(1).toString().mid(7).toInt();
                if (n <= previous.value(q.value(0).toInt(), -1))
                    ++outOfOrder;
                previous[q.value(0).toInt()] = n;
            }
        }
        const int lost = total - published;
        ok = lost == 0 && lastRight == stationCount && outOfOrder == 0 && lockedAtNs > 0;
        std::printf("database locked %.1f s by another process; %d stations, a status every %d ms: "
                    "%d posted, %d published (%d lost), latest line %.1f ms after its status, main thread "
                    "held at most %.1f ms; store failing with %d kept, up to %d kept, %d kept statuses "
                    "stored %.2f s after the lock ended; %d/%d stations hold their last status, %d stored "
                    "status changes, %d out of order\n",
                    double(releasedAtNs - lockedAtNs) / 1e9, stationCount, intervalMs, total, published, lost,
                    double(worstLateNs) / 1e6, double(worstStallNs) / 1e6, failingKept, keptAtMost,
                    storedAfter, double(storedAtNs - releasedAtNs) / 1e9, lastRight, stationCount,
                    historyRows, outOfOrder);
    }
    DatabaseConnection::close();
    return ok ? 0 : 1;
}
