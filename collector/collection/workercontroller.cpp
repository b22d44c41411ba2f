#include "workercontroller.h"

#include "completenessbook.h"
#include "leaseguard.h"
#include "memorytrim.h"
#include "owncopy.h"
#include "stationmonitor.h"
#include "store/databaseconnection.h"
#include "store/stationsettings.h"
#include "store/stationtablemodel.h"
#include "store/workfolder.h"
#include "storethread.h"
#include "visitslots.h"
#include "visitstore.h"
#include "worker.h"
#include "workerlink.h"

#include "collectorlogging.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <utility>

namespace {

// Long enough that a busy database costs the main thread little (each try
// may wait out the busy timeout), short enough that statuses follow soon.
constexpr int defaultRetryMs = 1000;

} // namespace

WorkerController::WorkerController(StationTableModel *model, QObject *parent)
    : WorkerController(model, CollectionOptions::load(WorkFolder::current().settingsFile()), parent)
{
}

WorkerController::WorkerController(StationTableModel *model, const CollectionOptions &options,
                                   QObject *parent)
    : QObject(parent), model(model), opts(options), guard(std::make_shared<LeaseGuard>()), rowIndex(model)
{
    // A second connection to the store the default one has open, embedded
    // or on a server: writes and their waits stay off the main thread.
    static std::atomic_int controllers{0};
    const QString connection = QStringLiteral("collection-store-%1").arg(++controllers);
    storeThread = std::make_unique<StoreThread>(DatabaseUrl(), connection);
    // The store's helpers use it on that thread.
    storeThread->post([connection] {
        DatabaseConnection::useOnThisThread(connection);
        QSqlDatabase::database(connection, true);
    });
    if (!DatabaseConnection::isPostgreSQL())
        VisitStore::instance()->shareThread(storeThread.get());
    stationMonitor = new StationMonitor(model, opts, this);
    // A configuration changed at the station is told as the station's status.
    connect(stationMonitor, &StationMonitor::stationStatus, this, &WorkerController::onWorkerStatusChanged);
    connect(stationMonitor, &StationMonitor::reportsTaken, this,
            [this] { announceEndedVisits(std::exchange(endsAfterStatistics, {})); });
    // The last 30 days' completeness from counts kept in the store, not
    // from the files.
    completeness = new CompletenessBook(this);
    completeness->setStoreThread(storeThread.get());
    stationMonitor->setStoreThread(
        storeThread.get(),
        [book = completeness](const DBStation &station) { return book->prepareShare(station); },
        [book = completeness](const DBStation &station, const QDateTime &now, QString *) {
            return book->storedShare(station.id, now);
        });
    memoryTrim = new MemoryTrim(this);
    registerDBStation();
    visitSlots = std::make_shared<VisitSlots>(opts.maxVisitsInFlight);
    routeCommands();
    connect(model, &StationTableModel::rowsInserted, this, &WorkerController::onStationInserted);
    connect(model, &StationTableModel::rowsAboutToBeRemoved, this, &WorkerController::onStationRemoved);
    connect(model, &StationTableModel::dataChanged, this, &WorkerController::onStationChanged);
    collecting = false;
    retryTimer = new QTimer(this);
    retryTimer->setSingleShot(true);
    retryTimer->setInterval(defaultRetryMs);
    connect(retryTimer, &QTimer::timeout, this, &WorkerController::flushStatuses);
    const QList<DBStation> stations = model->stations();
    for (const DBStation &station : stations)
        startWorker(station);
}

WorkerController::~WorkerController()
{
    if (!threads.isEmpty())
        stopCollecting();
    // Destroying a running thread aborts the process: wait for it, however
    // long whatever holds it takes.
    for (QThread *thread : qAsConst(threads)) {
        if (!thread->isFinished()) {
            qCWarning(lcController, "waiting for a worker thread that has not ended");
            thread->wait();
        }
    }
    // They post to the store thread: gone before it.
    delete stationMonitor;
    delete completeness;
    // The workers are gone: commits go to the store's own thread again.
    VisitStore::instance()->shareThread(nullptr, storeThread.get());
}

void WorkerController::setStoreRetryInterval(int ms)
{
    retryTimer->setInterval(ms);
}

void WorkerController::routeCommands()
{
    // The signals stay the controller's (observers listen to them); each is
    // passed down the line of the station it names, or of all for id 0.
    const auto route = [this](int id, const std::function<void(WorkerLink *)> &send) {
        if (id != 0) {
            if (WorkerLink *link = links.value(id))
                send(link);
            return;
        }
        const QList<WorkerLink *> all = links.values();
        for (WorkerLink *link : all)
            send(link);
    };
    connect(this, &WorkerController::workerStartCollecting, this,
            [route](int id) { route(id, [id](WorkerLink *l) { emit l->startCollecting(id); }); });
    connect(this, &WorkerController::workerPauseCollecting, this,
            [route](int id) { route(id, [id](WorkerLink *l) { emit l->pauseCollecting(id); }); });
    connect(this, &WorkerController::workerLeaseLost, this, [route](int id, const QString &holder) {
        route(id, [id, holder](WorkerLink *l) { emit l->leaseLost(id, holder); });
    });
    connect(this, &WorkerController::workerStopCollecting, this,
            [route](int id) { route(id, [id](WorkerLink *l) { emit l->stopCollecting(id); }); });
    connect(this, &WorkerController::workerStationChanged, this, [route](const DBStation &station) {
        route(station.id, [&station](WorkerLink *l) { emit l->stationChanged(station); });
    });
    connect(this, &WorkerController::workerUpdateStationData, this,
            [route](int id) { route(id, [id](WorkerLink *l) { emit l->updateStationData(id); }); });
    connect(this, &WorkerController::workerOptionsChanged, this, [route](const CollectionOptions &o) {
        route(0, [&o](WorkerLink *l) { emit l->optionsChanged(o); });
    });
}

void WorkerController::setOptions(const CollectionOptions &options)
{
    opts = options;
    visitSlots->setLimit(opts.maxVisitsInFlight);
    stationMonitor->setOptions(opts);
    emit workerOptionsChanged(opts);
}

void WorkerController::startWorker(const DBStation &station)
{
    auto *worker = new Worker(station, opts);
    // The last attempt, answered or not, across restarts: once a day at most.
    const StationStats known = stationMonitor->stats(station.id);
    worker->setLastClockSet(qMax(known.lastClockSet, known.lastClockAttempt));
    worker->setLeaseGuard(guard);
    worker->setVisitSlots(visitSlots);
    auto *thread = new QThread(this);
    // Lives as long as the thread object: a command for a station whose
    // worker has ended finds no receiver.
    auto *link = new WorkerLink(thread);
    links.insert(station.id, link);
    connect(link, &QObject::destroyed, this, [this, link, id = station.id] {
        const auto it = links.find(id);
        if (it != links.end() && it.value() == link)
            links.erase(it);
    });
    connect(link, &WorkerLink::optionsChanged, worker, &Worker::onOptionsChanged);
    // The counts first: the statistics read the completeness from them.
    connect(worker, &Worker::visitReported, completeness, &CompletenessBook::onVisitReport);
    // Before visitEnded: the statistics of a visit are stored (in the same
    // pass as its end is told, unless many visits ended together).
    connect(worker, &Worker::visitReported, stationMonitor, &StationMonitor::queueVisitReport);
    connect(link, &WorkerLink::startCollecting, worker, &Worker::onStartCollecting);
    connect(link, &WorkerLink::pauseCollecting, worker, &Worker::onPauseCollecting);
    connect(link, &WorkerLink::leaseLost, worker, &Worker::onLeaseLost);
    connect(link, &WorkerLink::stopCollecting, worker, &Worker::onStopCollecting);
    connect(link, &WorkerLink::stationChanged, worker, &Worker::onStationUpdated);
    connect(link, &WorkerLink::updateStationData, worker, &Worker::onUpdateStationData);
    connect(worker, &Worker::workerStatusChanged, this, &WorkerController::onWorkerStatusChanged);
    connect(worker, &Worker::visitEnded, this, &WorkerController::onWorkerVisitEnded);

    threads.append(thread);
    worker->moveToThread(thread);

    connect(thread, &QThread::started, worker, &Worker::process);
    // Direct: quit() is thread-safe, and stopCollecting() waits on the main
    // thread, where a queued quit would never be delivered.
    connect(worker, &Worker::finished, thread, &QThread::quit, Qt::DirectConnection);
    connect(worker, &Worker::finished, worker, &Worker::deleteLater);
    connect(thread, &QThread::finished, this, &WorkerController::onThreadFinished);
    thread->start(QThread::InheritPriority);
}

void WorkerController::startCollecting()
{
    collecting = true;
    // Behind a gate, whoever holds it starts the stations when they are due.
    if (!visitGate)
        emit workerStartCollecting(0);
}

void WorkerController::startStation(int id)
{
    if (collecting && indexOfStation(id) >= 0)
        emit workerStartCollecting(id);
}

void WorkerController::pauseStation(int id)
{
    if (indexOfStation(id) >= 0)
        emit workerPauseCollecting(id);
}

void WorkerController::leaseLost(int id, const QString &holder)
{
    if (indexOfStation(id) >= 0)
        emit workerLeaseLost(id, holder);
}

void WorkerController::pauseCollecting()
{
    collecting = false;
    emit workerPauseCollecting(0);
}

bool WorkerController::stopCollecting(int timeoutMs)
{
    collecting = false;
    // A worker stopped first would pass its slot to one not told yet.
    visitSlots->close();
    emit workerStopCollecting(0);
    // A worker blocked in a save never sees the queued stop until the save
    // ends; the interruption reaches it there.
    for (QThread *thread : qAsConst(threads))
        thread->requestInterruption();
    QDeadlineTimer deadline(timeoutMs);
    bool allEnded = true;
    const QList<QThread *> running = threads;
    for (QThread *thread : running) {
        if (!thread->wait(deadline)) {
            allEnded = false;
            continue;
        }
        // Ended threads leave now; their queued finished() finds nothing.
        threads.removeOne(thread);
        thread->deleteLater();
    }
    // Statuses the workers sent before they ended are still stored; a busy
    // database is given what is left of the time.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    // Their visits' counts too.
    QCoreApplication::sendPostedEvents(completeness, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(stationMonitor, QEvent::MetaCall);
    flushStatuses();
    stationMonitor->storeKept();
    settle(int(qMax<qint64>(0, deadline.remainingTime())));
    while ((storeFailing || !pendingStatuses.isEmpty() || stationMonitor->keptReportCount() > 0) &&
           !deadline.hasExpired()) {
        QThread::msleep(ulong(qBound<qint64>(1, deadline.remainingTime(), 100)));
        flushStatuses();
        stationMonitor->storeKept();
        settle(int(qMax<qint64>(0, deadline.remainingTime())));
    }
    if (!allEnded)
        qCWarning(lcController, "stopCollecting(): %d worker threads still running", int(threads.size()));
    return allEnded;
}

bool WorkerController::updateStationData(int row, QString *heldBy)
{
    if (row < 0 || row >= model->rowCount())
        return false;
    const int id = model->stations().at(row).id;
    if (holderCheck && !(visitGate && visitGate(id))) {
        const QString holder = holderCheck(id);
        if (!holder.isEmpty()) {
            if (heldBy)
                *heldBy = LeaseGuard::printable(holder);
            return false;
        }
    }
    emit workerUpdateStationData(id);
    return true;
}

void WorkerController::onThreadFinished()
{
    auto *thread = qobject_cast<QThread *>(sender());
    if (thread && threads.removeOne(thread))
        thread->deleteLater();
}

void WorkerController::onStationInserted(const QModelIndex &, int first, int)
{
    if (first < 0 || first >= model->rowCount())
        return;
    startWorker(model->stations().at(first));
}

void WorkerController::onStationRemoved(const QModelIndex &, int first, int)
{
    if (first < 0 || first >= model->rowCount())
        return;
    emit workerStopCollecting(model->stations().at(first).id);
}

void WorkerController::onStationChanged(const QModelIndex &topLeft, const QModelIndex &,
                                        const QVector<int> &roles)
{
    if (!topLeft.isValid() || topLeft.row() >= model->rowCount())
        return;
    // A new statistics tool tip is no change of the station.
    if (roles == QVector<int>{Qt::ToolTipRole})
        return;
    const DBStation station = model->stations().at(topLeft.row());
    if (!station.modified)
        return;
    emit workerStationChanged(station);
    if (collecting && (!visitGate || visitGate(station.id)))
        emit workerStartCollecting(station.id);
}

DBStation WorkerController::merged(DBStation record, const DBStation &status)
{
    // Only what the worker owns is taken: an operator's change that crossed
    // this status on its way to the worker must not be overwritten, nor the
    // temporary activation of a single visit stored.
    record.status = status.status;
    record.has_error = status.has_error;
    record.last_connection_time = status.last_connection_time;
    record.values = status.values;
    record.modified = false;
    return record;
}

void WorkerController::onWorkerStatusChanged(DBStation station)
{
    // A station deleted meanwhile stays deleted.
    const int row = indexOfStation(station.id);
    if (row < 0)
        return;
    station.status = ownCopy(station.status);
    // Announced now: storing may wait for the database, the status line not.
    emit stationStatusPublished(merged(model->stations().at(row), station));
    pendingStatuses.append(station);
    // While the database is busy the retry timer stores them.
    if (!flushScheduled && !storeFailing) {
        flushScheduled = true;
        QMetaObject::invokeMethod(this, &WorkerController::flushStatuses, Qt::QueuedConnection);
    }
}

void WorkerController::flushStatuses()
{
    flushScheduled = false;
    // Taken up when the batch out comes back.
    if (statusesOut)
        return;
    if (pendingStatuses.isEmpty()) {
        // The workers read the station settings from memory; a change made
        // with --station-setting while this collector runs counts from here.
        if (!endedVisits.isEmpty())
            storeThread->post([] { StationSettings::reload(); });
        announceEndedVisits(std::exchange(endedVisits, {}));
        return;
    }

    QHash<int, int> slotOfStation;
    QList<DBStation> records;
    int statusCount = 0;
    for (const DBStation &status : qAsConst(pendingStatuses)) {
        const int row = indexOfStation(status.id);
        if (row < 0)
            continue;
        ++statusCount;
        // In arrival order, so that each row ends with its latest status.
        const auto at = slotOfStation.constFind(status.id);
        if (at != slotOfStation.constEnd()) {
            records[*at] = merged(records.at(*at), status);
        } else {
            slotOfStation.insert(status.id, records.size());
            records.append(merged(model->stations().at(row), status));
        }
    }
    const QList<DBStation> sent = std::exchange(pendingStatuses, {});
    const QList<QPair<int, bool>> ended = std::exchange(endedVisits, {});
    // The visits' statistics go to the store thread first, so that a
    // visit's end is told after them.
    stationMonitor->storeKept();
    statusesOut = sent.size();
    const auto job = [this, sent, records, ended, statusCount] {
        QList<int> busyIds;
        QSet<int> storedIds;
        bool busy = false;
        if (DatabaseConnection::updateStatuses(records, &busy)) {
            for (const DBStation &record : records)
                storedIds.insert(record.id);
        } else if (busy) {
            for (const DBStation &record : records)
                busyIds.append(record.id);
        } else {
            // One refused row must not hold back the others.
            busyIds = storeRowByRow(records, &storedIds);
        }
        const QString error = DatabaseConnection::lastWriteError();
        // The workers read the station settings from memory; a change made
        // with --station-setting while this collector runs counts from here.
        if (!ended.isEmpty())
            StationSettings::reload();
        // The controller waits for this thread before it goes: still here.
        QMetaObject::invokeMethod(
            this,
            [this, sent, records, busyIds, storedIds, error, ended, statusCount] {
                onStatusesStored(sent, records, busyIds, storedIds, error, ended, statusCount);
            },
            Qt::QueuedConnection);
    };
    storeThread->post(job);
}

void WorkerController::onStatusesStored(const QList<DBStation> &sent, const QList<DBStation> &records,
                                        const QList<int> &busyIds, const QSet<int> &storedIds,
                                        const QString &error, const QList<QPair<int, bool>> &ended,
                                        int statusCount)
{
    statusesOut = 0;
    // What the database was too busy to take is kept, in order, before what
    // came meanwhile; the rest is stored or was refused for good.
    const QSet<int> busySet(busyIds.cbegin(), busyIds.cend());
    QList<int> rows;
    QList<DBStation> stored;
    for (const DBStation &record : records) {
        const int row = indexOfStation(record.id);
        if (row >= 0 && storedIds.contains(record.id)) {
            rows.append(row);
            stored.append(record);
        }
    }
    model->showStoredStatuses(rows, stored);
    model->reportStatusStore(storedIds.size() == records.size(), error);
    QList<DBStation> kept;
    for (const DBStation &status : sent) {
        if (busySet.contains(status.id))
            kept.append(status);
    }
    pendingStatuses = kept + pendingStatuses;
    if (!kept.isEmpty()) {
        if (!storeFailing) {
            storeFailing = true;
            qCDebug(lcController, "flushStatuses(): database busy, %d statuses kept",
                    int(pendingStatuses.size()));
            emit statusStoreFailing(pendingStatuses.size());
        }
        retryTimer->start();
    } else if (storeFailing) {
        storeFailing = false;
        retryTimer->stop();
        emit keptStatusesStored(statusCount);
    }
    announceEndedVisits(ended);
    // What came in meanwhile.
    if (!storeFailing && (!pendingStatuses.isEmpty() || !endedVisits.isEmpty()) && !flushScheduled) {
        flushScheduled = true;
        QMetaObject::invokeMethod(this, &WorkerController::flushStatuses, Qt::QueuedConnection);
    }
}

QList<int> WorkerController::storeRowByRow(const QList<DBStation> &records, QSet<int> *storedIds)
{
    QList<int> busyIds;
    for (const DBStation &record : records) {
        bool busy = false;
        if (DatabaseConnection::updateStatuses({record}, &busy))
            storedIds->insert(record.id);
        else if (busy)
            busyIds.append(record.id);
    }
    return busyIds;
}

bool WorkerController::settle(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    stationMonitor->settle(timeoutMs);
    while (statusesOut && !deadline.hasExpired()) {
        // Each statement has a time-out: the batch ends.
        storeThread->runAndWait([] {});
        QCoreApplication::sendPostedEvents(completeness, QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    // Counts posted after the last batch, and their results.
    storeThread->runAndWait([] {});
    QCoreApplication::sendPostedEvents(completeness, QEvent::MetaCall);
    return !statusesOut && stationMonitor->settle(int(qMax<qint64>(0, deadline.remainingTime())));
}

void WorkerController::onWorkerVisitEnded(int id, bool hasError)
{
    memoryTrim->visitEnded();
    // While the database is busy the end is told at once; the retry stores
    // the visit's last status.
    if (storeFailing) {
        if (indexOfStation(id) >= 0)
            emit stationVisitEnded(id, hasError);
        return;
    }
    // Told once its last status is stored: with the next store, one for all
    // the visits that ended meanwhile. A store (and its sync) per visit held
    // the main loop up for seconds when many visits ended together.
    endedVisits.append({id, hasError});
    if (!flushScheduled) {
        flushScheduled = true;
        QMetaObject::invokeMethod(this, &WorkerController::flushStatuses, Qt::QueuedConnection);
    }
}

void WorkerController::announceEndedVisits(const QList<QPair<int, bool>> &ended)
{
    // A visit whose statistics are still on their way is told once they
    // are in (unless the store keeps refusing them).
    const QSet<int> storing = stationMonitor->storingIds();
    for (const auto &visit : ended) {
        if (storing.contains(visit.first))
            endsAfterStatistics.append(visit);
        else if (indexOfStation(visit.first) >= 0)
            emit stationVisitEnded(visit.first, visit.second);
    }
}

int WorkerController::indexOfStation(int id) const
{
    return rowIndex.row(id);
}
