#pragma once

#include "collection/collectionoptions.h"
#include "collection/stationrows.h"
#include "store/dbstation.h"

#include <QHash>
#include <QList>
#include <QModelIndex>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QVector>

#include <functional>
#include <memory>

class CompletenessBook;
class LeaseGuard;
class MemoryTrim;
class QThread;
class QTimer;
class StationMonitor;
class StoreThread;
class StationTableModel;
class VisitSlots;
class WorkerLink;

// Keeps one worker per station, each on its own thread, and is the only
// bridge between them and the main thread: commands go out as queued
// signals, statuses come back and are written through the table model.
class WorkerController : public QObject
{
    Q_OBJECT
public:
    // The collection options come from the working folder's settings.ini.
    explicit WorkerController(StationTableModel *model, QObject *parent = nullptr);
    WorkerController(StationTableModel *model, const CollectionOptions &options, QObject *parent = nullptr);
    // Stops and waits for every worker still running, however long it takes.
    ~WorkerController() override;

    bool isCollecting() const { return collecting; }
    int threadCount() const { return threads.size(); }
    // Statuses published but not yet stored because the database was busy
    // (a new try out with the store thread included).
    int keptStatusCount() const { return storeFailing ? pendingStatuses.size() + statusesOut : 0; }
    // How long kept statuses wait before the next try.
    void setStoreRetryInterval(int ms);
    // Statistics, alerts and metrics of the visits.
    StationMonitor *monitor() const { return stationMonitor; }
    // The completeness counts of every station.
    CompletenessBook *completenessBook() const { return completeness; }
    CollectionOptions options() const { return opts; }
    // New options for the monitor and every worker.
    void setOptions(const CollectionOptions &options);

    // On a shared store only the stations this collector holds a lease on
    // are visited: the gate says which (none set: all of them), and its
    // keeper starts them through startStation.
    void setVisitGate(std::function<bool(int id)> gate) { visitGate = std::move(gate); }
    // Who else holds a station's lease now (empty: nobody), asked before a
    // single visit.
    void setHolderCheck(std::function<QString(int id)> check) { holderCheck = std::move(check); }
    // Shared with every worker: the leases this collector holds.
    std::shared_ptr<LeaseGuard> leaseGuard() const { return guard; }
    // Shared with every worker: the visits in flight.
    std::shared_ptr<VisitSlots> visitSlotsInUse() const { return visitSlots; }
    // A station's lease was taken (start its visits, while collecting) or
    // lost (no new visit; a running one ends as usual).
    void startStation(int id);
    void pauseStation(int id);
    // The lease was lost (holder: who has it now; empty when it expired
    // unrenewed): no new visit, and a running one ends without saving.
    void leaseLost(int id, const QString &holder);

    void startCollecting();
    void pauseCollecting();
    // Every worker leaves its loop, ending a visit in progress (a save
    // waiting for its file's lock included); waits up to timeoutMs for their
    // threads to end so that none is still running when the process ends,
    // and within the same time stores what they published. True when all of
    // them ended.
    bool stopCollecting(int timeoutMs = 5000);
    // Waits up to timeoutMs for what is out with the store thread (statuses,
    // statistics, counts) and takes what came of it; true when nothing is out.
    bool settle(int timeoutMs = 5000);
    // One visit of the station at that row now. False, with the holder's
    // name, when another collector holds the station: it visits it.
    bool updateStationData(int row, QString *heldBy = nullptr);

signals:
    void workerStartCollecting(int id);
    void workerPauseCollecting(int id);
    void workerLeaseLost(int id, QString holder);
    void workerStopCollecting(int id);
    void workerStationChanged(DBStation station);
    void workerUpdateStationData(int id);
    void workerOptionsChanged(CollectionOptions options);

    // For observers of the collection (the headless mode): a worker's status
    // as soon as it arrives (stored right after), and the end of one of its
    // visits.
    void stationStatusPublished(DBStation station);
    void stationVisitEnded(int id, bool hasError);
    // The database is busy: the statuses are kept, in order, and tried again.
    // Sent when the store starts failing, with the number kept so far.
    void statusStoreFailing(int keptCount);
    // The database took the kept statuses again.
    void keptStatusesStored(int count);

public slots:
    void onThreadFinished();
    void onStationInserted(const QModelIndex &parent, int first, int last);
    void onStationRemoved(const QModelIndex &parent, int first, int last);
    void onStationChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                          const QVector<int> &roles);
    void onWorkerStatusChanged(DBStation station);
    void onWorkerVisitEnded(int id, bool hasError);
    // Stores the statuses received since the last call, in one transaction.
    void flushStatuses();

private:
    void startWorker(const DBStation &station);
    // Passes each command signal to the worker it names.
    void routeCommands();
    // Tells the ends of the visits whose last status was stored.
    void announceEndedVisits(const QList<QPair<int, bool>> &ended);
    int indexOfStation(int id) const;
    // The model's record with what the worker owns taken from its status.
    static DBStation merged(DBStation record, const DBStation &status);
    // Tries each row on its own; returns the ids of the rows the database
    // was too busy to take, and adds those it took to *storedIds.
    static QList<int> storeRowByRow(const QList<DBStation> &records, QSet<int> *storedIds);
    // On the main thread: a batch of statuses is back from the store thread.
    void onStatusesStored(const QList<DBStation> &sent, const QList<DBStation> &records,
                          const QList<int> &busyIds, const QSet<int> &storedIds, const QString &error,
                          const QList<QPair<int, bool>> &ended, int statusCount);

    StationTableModel *model = nullptr;
    CollectionOptions opts;
    // Statuses, statistics and counts are stored here, not on the main
    // thread: a sync or another connection's lock never holds up the loop.
    std::unique_ptr<StoreThread> storeThread;
    // Statuses out with the store thread, not stored yet.
    int statusesOut = 0;
    StationMonitor *stationMonitor = nullptr;
    CompletenessBook *completeness = nullptr;
    MemoryTrim *memoryTrim = nullptr;
    bool collecting = false;
    QList<QThread *> threads;
    // Statuses wait here for the end of the current pass of the event loop,
    // so that a burst of them costs one database sync, not one each.
    QList<DBStation> pendingStatuses;
    // Visits that ended, told after the next store (station id, failed).
    QList<QPair<int, bool>> endedVisits;
    // Ended visits whose statistics were still on their way to the store.
    QList<QPair<int, bool>> endsAfterStatistics;
    bool flushScheduled = false;
    // The last store found the database busy; pendingStatuses are kept.
    bool storeFailing = false;
    QTimer *retryTimer = nullptr;
    std::function<bool(int id)> visitGate;
    std::function<QString(int id)> holderCheck;
    std::shared_ptr<LeaseGuard> guard;
    std::shared_ptr<VisitSlots> visitSlots;
    // Each station's line to its worker.
    QHash<int, WorkerLink *> links;
    StationRows rowIndex;
};
