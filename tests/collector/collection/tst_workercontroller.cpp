#include "../common/silentdevice.h"
#include "../common/stationfixtures.h"
#include "collection/stationmonitor.h"
#include "collection/visitslots.h"
#include "collection/workercontroller.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"

#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_WorkerController : public QObject
{
    Q_OBJECT

private slots:
    // The store's "Database Error" lines are debug output, off by default;
    // the tests that expect them switch them on.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("collector.store.debug=true")); }
    void init();
    void cleanup();

    void oneThreadPerStationAllPaused();
    void toggleCollectionRevisitsAll();
    void stopEndsEveryThread();
    void deletedStationStopsItsWorkerForGood();
    void operatorChangeReachesWorkerAndStartsIt();
    void newStationWaitsForNextStart();
    void updateStationDataVisitsOneRow();
    void workerStatusKeepsOperatorSettings();
    void destructionWaitsForRunningWorkers();
    void burstOfStatusesIsStoredTogether();
    void refusedStatusDoesNotHoldBackOthers();
    void busyDatabaseKeepsStatusesInOrder();
    void lockedStoreNeverHoldsTheMainLoop();
    void visitSlotsBoundVisitsInFlight();
    void everyStationVisitedUnderTheLimit();
    void stopWhileWaitingForASlot();

private:
    int addStation(quint16 port, bool active = true);
    static QString storedStatus(int id);

    std::unique_ptr<QTemporaryDir> dir;
    QString oldCwd;
};

void tst_WorkerController::init()
{
    registerDBStation();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path()));
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir->filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
}

void tst_WorkerController::cleanup()
{
    DatabaseConnection::close();
    QDir::setCurrent(oldCwd);
    dir.reset();
}

int tst_WorkerController::addStation(quint16 port, bool active)
{
    // Stations on one port are told apart by a number: each code is stored once.
    static int added = 0;
    DBStation s = fullStation(QStringLiteral("%1-%2").arg(port).arg(++added));
    s.ip = QStringLiteral("127.0.0.1");
    s.port = port;
    s.active = active;
    s.file_path = dir->path();
    return DatabaseConnection::insertStation(s);
}

QString tst_WorkerController::storedStatus(int id)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT status FROM stations WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() && q.next() ? q.value(0).toString() : QStringLiteral("<no row>");
}

// The nice values of this process's threads (Linux), the main thread's first.
static QList<int> threadNiceValues()
{
    QList<int> values;
    QDir tasks(QStringLiteral("/proc/self/task"));
    const QString self = QString::number(QCoreApplication::applicationPid());
    QStringList names = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    names.removeAll(self);
    names.prepend(self);
    for (const QString &task : qAsConst(names)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // After the name in brackets: state is field 3, nice field 19.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 16)
            values << fields.at(16).toInt();
    }
    return values;
}

void tst_WorkerController::oneThreadPerStationAllPaused()
{
    SilentDevice a, b, c;
    addStation(a.serverPort());
    addStation(b.serverPort());
    addStation(c.serverPort(), false);
    StationTableModel model;
    WorkerController controller(&model);
    QCOMPARE(controller.threadCount(), 3);
    QCOMPARE(controller.findChildren<QThread *>().size(), 3);
    QVERIFY(!controller.isCollecting());
#ifdef Q_OS_LINUX
    // The workers yield to the main thread.
    // (Unless this test already runs as nice as a thread can be.)
    const int own = threadNiceValues().value(0);
    if (own + 5 <= 19)
        QTRY_VERIFY_WITH_TIMEOUT(threadNiceValues().mid(1).count(own + 5) == 3, 5000);
#endif
    QTest::qWait(200); // nothing may happen while paused
    QCOMPARE(a.connections + b.connections + c.connections, 0);

    controller.startCollecting();
    QVERIFY(controller.isCollecting());
    QTRY_COMPARE(a.connections, 1);
    QTRY_COMPARE(b.connections, 1);
    // The statuses arrive in the model and the database.
    QTRY_COMPARE(model.stations().at(0).status, QStringLiteral("Reading parameters"));
    QTRY_COMPARE(model.stations().at(1).status, QStringLiteral("Reading parameters"));
    QCOMPARE(storedStatus(model.stations().at(0).id), QStringLiteral("Reading parameters"));
    QCOMPARE(c.connections, 0); // inactive
    QVERIFY(model.stations().at(2).status.isEmpty());
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::toggleCollectionRevisitsAll()
{
    for (int i = 0; i < 3; ++i)
        addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    QSignalSpy ended(&controller, &WorkerController::stationVisitEnded);
    QSignalSpy published(&controller, &WorkerController::stationStatusPublished);
    controller.startCollecting();
    QTRY_COMPARE(ended.count(), 3);
    const QString retry = QStringLiteral("Retry 1 of 3 in 2 min: Connection refused");
    for (const DBStation &s : model.stations()) {
        QCOMPARE(s.status, retry);
        QVERIFY(s.has_error);
        QCOMPARE(storedStatus(s.id), retry);
    }
    QCOMPARE(published.count(), 9); // "Connecting..", the error and the retry, per station

    controller.pauseCollecting();
    QVERIFY(!controller.isCollecting());
    controller.startCollecting();
    QTRY_COMPARE(ended.count(), 6);
    // Stopped in the retry wait: the status does not promise the retry.
    QVERIFY(controller.stopCollecting());
    for (const DBStation &s : model.stations())
        QCOMPARE(storedStatus(s.id),
                 QStringLiteral("Collection stopped before the retry: Connection refused"));
}

void tst_WorkerController::stopEndsEveryThread()
{
    SilentDevice a;
    addStation(a.serverPort());
    addStation(a.serverPort());
    StationTableModel model;
    WorkerController controller(&model);
    controller.startCollecting();
    QTRY_COMPARE(a.connections, 2); // stop in the middle of two visits
    QElapsedTimer timer;
    timer.start();
    QVERIFY(controller.stopCollecting());
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(controller.threadCount(), 0);
    QVERIFY(!controller.isCollecting());
    // The visits say they were cut short, not the step they were in.
    for (const DBStation &s : model.stations()) {
        QCOMPARE(s.status, QStringLiteral("Visit interrupted by stop"));
        QCOMPARE(storedStatus(s.id), QStringLiteral("Visit interrupted by stop"));
    }
    // The abandoned visits close their connections.
    QTRY_COMPARE(a.findChildren<QTcpSocket *>().size(), 0);
}

void tst_WorkerController::deletedStationStopsItsWorkerForGood()
{
    addStation(closedPort());
    addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    const DBStation removed = model.stations().at(1);
    QVERIFY(model.removeRows(1, 1));
    QTRY_COMPARE(controller.threadCount(), 1);

    // A status the worker sent before it stopped arrives late.
    DBStation late = removed;
    late.status = QStringLiteral("Connecting..");
    controller.onWorkerStatusChanged(late);
    controller.flushStatuses();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(DatabaseConnection::selectStations().size(), 1);
    QCOMPARE(storedStatus(removed.id), QStringLiteral("<no row>"));

    // The remaining worker still collects.
    QSignalSpy ended(&controller, &WorkerController::stationVisitEnded);
    controller.startCollecting();
    QVERIFY(ended.wait(5000));
    QCOMPARE(ended.at(0).at(0).toInt(), model.stations().at(0).id);
}

void tst_WorkerController::operatorChangeReachesWorkerAndStartsIt()
{
    SilentDevice device;
    addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    QSignalSpy ended(&controller, &WorkerController::stationVisitEnded);
    controller.startCollecting();
    QVERIFY(ended.wait(5000));

    // Not flagged as the operator's: stays in the model only.
    DBStation s = model.stations().at(0);
    s.port = device.serverPort();
    QVERIFY(model.setData(model.index(0, 0), QVariant::fromValue(s)));
    QTest::qWait(100);
    QCOMPARE(device.connections, 0);

    s.modified = true;
    QVERIFY(model.setData(model.index(0, 13), QVariant::fromValue(s)));
    QTRY_COMPARE(device.connections, 1);
    QTRY_COMPARE(model.stations().at(0).status, QStringLiteral("Reading parameters"));
    QVERIFY(!model.stations().at(0).modified);

    // Disabled by the operator: the worker no longer visits.
    controller.pauseCollecting();
    s = model.stations().at(0);
    s.active = false;
    s.modified = true;
    QVERIFY(model.setData(model.index(0, 13), QVariant::fromValue(s)));
    controller.startCollecting();
    QTest::qWait(100);
    QCOMPARE(device.connections, 1);
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::newStationWaitsForNextStart()
{
    SilentDevice device;
    StationTableModel model;
    WorkerController controller(&model);
    controller.startCollecting();
    DBStation s = fullStation();
    s.ip = QStringLiteral("127.0.0.1");
    s.port = device.serverPort();
    s.active = true;
    QVERIFY(model.setData(QModelIndex(), QVariant::fromValue(s)));
    QCOMPARE(controller.threadCount(), 1);
    QTest::qWait(150);
    QCOMPARE(device.connections, 0);
    controller.pauseCollecting();
    controller.startCollecting();
    QTRY_COMPARE(device.connections, 1);
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::updateStationDataVisitsOneRow()
{
    SilentDevice a, b;
    addStation(a.serverPort(), false);
    addStation(b.serverPort(), false);
    StationTableModel model;
    WorkerController controller(&model);
    controller.updateStationData(5);
    controller.updateStationData(-1);
    controller.updateStationData(1);
    QTRY_COMPARE(b.connections, 1);
    QTRY_COMPARE(model.stations().at(1).status, QStringLiteral("Reading parameters"));
    QCOMPARE(a.connections, 0);
    // The single visit does not store the station as active.
    QVERIFY(!model.stations().at(1).active);
    QVERIFY(!DatabaseConnection::selectStations().at(1).active);
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::workerStatusKeepsOperatorSettings()
{
    addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    const DBStation before = model.stations().at(0);

    // The operator renames the station while a status of the old record is
    // on its way from the worker.
    DBStation edited = before;
    edited.name = QStringLiteral("O'Brien");
    edited.modified = true;
    QVERIFY(model.setData(model.index(0, 0), QVariant::fromValue(edited)));

    DBStation status = before;
    status.status = QStringLiteral("Download completed.");
    status.values[4] = 3.25f;
    status.last_connection_time = QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9));
    status.active = !before.active;
    controller.onWorkerStatusChanged(status);
    controller.flushStatuses();
    QVERIFY(controller.settle());

    const DBStation now = model.stations().at(0);
    QCOMPARE(now.name, QStringLiteral("O'Brien"));
    QCOMPARE(now.active, before.active);
    QCOMPARE(now.status, QStringLiteral("Download completed."));
    QCOMPARE(now.values[4], 3.25f);
    QCOMPARE(now.last_connection_time, status.last_connection_time);
    QVERIFY(!now.modified);
    const DBStation stored = DatabaseConnection::selectStations().at(0);
    QCOMPARE(stored.name, QStringLiteral("O'Brien"));
    QCOMPARE(stored.last_connection_time, status.last_connection_time);
    QCOMPARE(storedStatus(now.id), QStringLiteral("Download completed."));
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::destructionWaitsForRunningWorkers()
{
    SilentDevice device;
    addStation(device.serverPort());
    StationTableModel model;
    {
        WorkerController controller(&model);
        controller.startCollecting();
        QTRY_COMPARE(device.connections, 1);
    }
    QTRY_COMPARE(device.findChildren<QTcpSocket *>().size(), 0);
}

void tst_WorkerController::burstOfStatusesIsStoredTogether()
{
    const int a = addStation(closedPort());
    const int b = addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    QSignalSpy published(&controller, &WorkerController::stationStatusPublished);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QStringList texts{"Connecting..", "Reading parameters", "Downloading packages 1/2"};
    for (const QString &text : texts) {
        for (DBStation s : model.stations()) {
            s.status = text;
            controller.onWorkerStatusChanged(s);
        }
    }
    // Announced as they come, stored when the loop comes round.
    QCOMPARE(published.count(), 6);
    QCOMPARE(published.at(4).at(0).value<DBStation>().status, QStringLiteral("Downloading packages 1/2"));
    QCOMPARE(published.at(4).at(0).value<DBStation>().code, model.stations().at(0).code);
    QCOMPARE(changed.count(), 0);
    QTRY_COMPARE(changed.count(), 2); // one per row
    QCOMPARE(storedStatus(a), QStringLiteral("Downloading packages 1/2"));
    QCOMPARE(storedStatus(b), QStringLiteral("Downloading packages 1/2"));
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::refusedStatusDoesNotHoldBackOthers()
{
    const int a = addStation(closedPort());
    const int b = addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON stations WHEN NEW.id = %1 "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                       .arg(a)));
    for (DBStation s : model.stations()) {
        s.status = QStringLiteral("Success");
        controller.onWorkerStatusChanged(s);
    }
    QSignalSpy failing(&controller, &WorkerController::statusStoreFailing);
    // Refused in the batch, then on its own.
    for (int i = 0; i < 2; ++i) {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    }
    controller.flushStatuses();
    QVERIFY(controller.settle());
    QCOMPARE(failing.count(), 0); // refused for good: nothing to keep
    QCOMPARE(controller.keptStatusCount(), 0);
    QVERIFY(model.stations().at(0).status.isEmpty()); // memory follows the database
    QCOMPARE(model.stations().at(1).status, QStringLiteral("Success"));
    QCOMPARE(storedStatus(b), QStringLiteral("Success"));
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::busyDatabaseKeepsStatusesInOrder()
{
    const int a = addStation(closedPort());
    const int b = addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    controller.setStoreRetryInterval(50);
    QSignalSpy published(&controller, &WorkerController::stationStatusPublished);
    QSignalSpy failing(&controller, &WorkerController::statusStoreFailing);
    QSignalSpy stored(&controller, &WorkerController::keptStatusesStored);
    const QList<DBStation> stations = model.stations();
    auto post = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            DBStation s = stations.at(i % 2);
            s.status = QStringLiteral("Step %1").arg(i);
            controller.onWorkerStatusChanged(s);
        }
    };
    {
        // Another process holds the write lock.
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(dir->filePath(QStringLiteral("data.db")));
        QVERIFY(holder.open());
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));

        post(0, 4);
        QCOMPARE(published.count(), 4);
        QElapsedTimer blocked;
        blocked.start();
        controller.flushStatuses();
        // The store thread waits for the lock, the main thread does not.
        QVERIFY2(blocked.elapsed() < 50, qPrintable(QString::number(blocked.elapsed())));
        QVERIFY(controller.settle());
        QCOMPARE(failing.count(), 1);
        QCOMPARE(failing.at(0).at(0).toInt(), 4);
        QCOMPARE(controller.keptStatusCount(), 4);
        // Several tries fail meanwhile; statuses keep coming and are kept.
        QTest::qWait(200);
        post(4, 7);
        QCOMPARE(published.count(), 7);
        QCOMPARE(published.last().at(0).value<DBStation>().status, QStringLiteral("Step 6"));
        QTest::qWait(100);
        QCOMPARE(failing.count(), 1);
        QCOMPARE(stored.count(), 0);
        QCOMPARE(controller.keptStatusCount(), 7);
        QCOMPARE(storedStatus(a), fullStation().status);
        QVERIFY(model.stations().at(0).status.isEmpty()); // memory follows the database

        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("ROLLBACK")));
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    QTRY_COMPARE(stored.count(), 1);
    QCOMPARE(stored.at(0).at(0).toInt(), 7);
    QCOMPARE(controller.keptStatusCount(), 0);
    // Each row ends with its latest status, not an older one.
    QCOMPARE(storedStatus(a), QStringLiteral("Step 6"));
    QCOMPARE(storedStatus(b), QStringLiteral("Step 5"));
    QCOMPARE(model.stations().at(1).status, QStringLiteral("Step 5"));

    // Free again: statuses are stored at once.
    post(7, 8);
    QTRY_COMPARE(storedStatus(b), QStringLiteral("Step 7"));
    QCOMPARE(failing.count(), 1);
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::lockedStoreNeverHoldsTheMainLoop()
{
    const int a = addStation(closedPort());
    StationTableModel model;
    WorkerController controller(&model);
    StationMonitor *monitor = controller.monitor();
    // Each visit taken back in a slice of its own: order and counts hold.
    monitor->setTakeSliceMs(0);
    monitor->setStoreRetryInterval(20);
    controller.setStoreRetryInterval(20);
    QSignalSpy ended(&controller, &WorkerController::stationVisitEnded);
    const auto visit = [&](VisitReport::Result result, int minute) {
        VisitReport r;
        r.id = a;
        r.result = result;
        r.records = 3;
        r.ended = QDateTime(QDate(2026, 3, 1), QTime(8, minute));
        DBStation s = model.stations().at(0);
        s.status = QStringLiteral("Visit %1").arg(minute);
        controller.onWorkerStatusChanged(s);
        monitor->queueVisitReport(r);
        controller.onWorkerVisitEnded(a, r.failed());
    };
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(dir->filePath(QStringLiteral("data.db")));
    QVERIFY(holder.open());
    QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));
    QElapsedTimer loop;
    loop.start();
    visit(VisitReport::NoConnection, 1);
    visit(VisitReport::Success, 2);
    visit(VisitReport::NoConnection, 3);
    // Each pass of the loop stays short while the store thread waits out the lock.
    qint64 longest = 0;
    for (int i = 0; i < 30; ++i) {
        QElapsedTimer pass;
        pass.start();
        QCoreApplication::processEvents();
        longest = qMax(longest, pass.elapsed());
        QTest::qWait(10);
    }
    QVERIFY2(longest < 50, qPrintable(QString::number(longest)));
    QCOMPARE(monitor->keptReportCount(), 3);
    QCOMPARE(monitor->stats(a).visits, qint64(0));
    QVERIFY(QSqlQuery(holder).exec(QStringLiteral("ROLLBACK")));
    holder.close();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));

    // Then every visit is counted once, in order, and each end is told
    // after its statistics.
    QTRY_COMPARE(ended.count(), 3);
    QVERIFY(controller.settle());
    QCOMPARE(monitor->keptReportCount(), 0);
    const StationStats s = monitor->stats(a);
    QCOMPARE(s.visits, qint64(3));
    QCOMPARE(s.successes, qint64(1));
    QCOMPARE(s.consecutiveFailures, 1);
    QCOMPARE(s.records, qint64(9));
    QCOMPARE(s.lastSuccess, QDateTime(QDate(2026, 3, 1), QTime(8, 2)));
    QTRY_COMPARE(storedStatus(a), QStringLiteral("Visit 3"));
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::visitSlotsBoundVisitsInFlight()
{
    // Silent loggers hold their slots: two visits connect, the rest wait
    // without failing, and a single visit asked for waits its turn too.
    QList<std::shared_ptr<SilentDevice>> silent;
    for (int i = 0; i < 4; ++i) {
        silent.append(std::make_shared<SilentDevice>());
        addStation(silent.last()->serverPort());
    }
    const int inactive = addStation(closedPort(), false);
    CollectionOptions options;
    options.maxVisitsInFlight = 2;
    StationTableModel model;
    WorkerController controller(&model, options);
    QSignalSpy ended(&controller, &WorkerController::stationVisitEnded);
    const std::shared_ptr<VisitSlots> visitSlots = controller.visitSlotsInUse();
    controller.startCollecting();
    QTRY_COMPARE(visitSlots->waiting(), 2);
    QCOMPARE(visitSlots->inFlight(), 2);
    const auto connections = [&] {
        int n = 0;
        for (const auto &d : qAsConst(silent))
            n += d->connections;
        return n;
    };
    QTRY_COMPARE(connections(), 2);
    QVERIFY(controller.updateStationData(model.rowCount() - 1));
    QTRY_COMPARE(visitSlots->waiting(), 3);
    QTest::qWait(200); // nobody else may connect meanwhile
    QCOMPARE(connections(), 2);
    QCOMPARE(ended.count(), 0);
    for (const DBStation &s : model.stations())
        QVERIFY2(!s.has_error, qPrintable(s.status));

    // More slots: all three in line go at once; the single visit of the
    // inactive station ends (nothing listens there).
    CollectionOptions more = options;
    more.maxVisitsInFlight = 5;
    controller.setOptions(more);
    QTRY_COMPARE(connections(), 4);
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toInt(), inactive);
    QCOMPARE(visitSlots->peak(), 5);
    QCOMPARE(visitSlots->waiting(), 0);

    // A stop ends those in flight and those in line alike, and gives back
    // every slot.
    controller.setOptions(options);
    QVERIFY(controller.stopCollecting());
    QCOMPARE(controller.threadCount(), 0);
    QCOMPARE(visitSlots->inFlight(), 0);
    QCOMPARE(visitSlots->waiting(), 0);
}

void tst_WorkerController::everyStationVisitedUnderTheLimit()
{
    // Refused connections end at once: twelve stations through one slot,
    // each visited once, never two at the same time.
    for (int i = 0; i < 12; ++i)
        addStation(closedPort());
    CollectionOptions options;
    options.maxVisitsInFlight = 1;
    options.retryMinutes.clear();
    StationTableModel model;
    WorkerController controller(&model, options);
    QSignalSpy ended(&controller, &WorkerController::stationVisitEnded);
    controller.startCollecting();
    QTRY_COMPARE(ended.count(), 12);
    QSet<int> visited;
    for (const QList<QVariant> &args : qAsConst(ended))
        visited.insert(args.at(0).toInt());
    QCOMPARE(visited.size(), 12);
    QCOMPARE(controller.visitSlotsInUse()->peak(), 1);
    QCOMPARE(controller.visitSlotsInUse()->inFlight(), 0);
    QVERIFY(controller.stopCollecting());
}

void tst_WorkerController::stopWhileWaitingForASlot()
{
    // The only slot is held by a silent logger; the others wait in line
    // when the stop comes, and their threads end all the same.
    SilentDevice silent[4];
    for (SilentDevice &d : silent)
        addStation(d.serverPort());
    CollectionOptions options;
    options.maxVisitsInFlight = 1;
    StationTableModel model;
    auto *controller = new WorkerController(&model, options);
    QSignalSpy ended(controller, &WorkerController::stationVisitEnded);
    const std::shared_ptr<VisitSlots> visitSlots = controller->visitSlotsInUse();
    controller->startCollecting();
    const auto connections = [&] {
        int n = 0;
        for (const SilentDevice &d : silent)
            n += d.connections;
        return n;
    };
    QTRY_COMPARE(connections(), 1);
    QTRY_COMPARE(visitSlots->waiting(), 3);
    QVERIFY(controller->stopCollecting(5000));
    QCOMPARE(controller->threadCount(), 0);
    QCOMPARE(visitSlots->inFlight(), 0);
    QCOMPARE(visitSlots->waiting(), 0);
    // Nobody in line got to visit.
    QCOMPARE(connections(), 1);
    QCOMPARE(ended.count(), 1);
    delete controller;
}

QTEST_GUILESS_MAIN(tst_WorkerController)
#include "tst_workercontroller.moc"
