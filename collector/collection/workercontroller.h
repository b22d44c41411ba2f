#pragma once

#include "store/dbstation.h"

#include <QList>
#include <QModelIndex>
#include <QObject>
#include <QVector>

class QThread;
class StationTableModel;

// Keeps one worker per station, each on its own thread, and is the only
// bridge between them and the main thread: commands go out as queued
// signals, statuses come back and are written through the table model.
class WorkerController : public QObject
{
    Q_OBJECT
public:
    explicit WorkerController(StationTableModel *model, QObject *parent = nullptr);
    // Stops and waits for any worker still running.
    ~WorkerController() override;

    bool isCollecting() const { return collecting; }
    int threadCount() const { return threads.size(); }

    void startCollecting();
    void pauseCollecting();
    // Every worker leaves its loop; waits up to timeoutMs for their threads
    // to end so that none is still running when the process ends. True when
    // all of them ended.
    bool stopCollecting(int timeoutMs = 5000);
    void updateStationData(int row);

signals:
    void workerStartCollecting(int id);
    void workerPauseCollecting(int id);
    void workerStopCollecting(int id);
    void workerStationChanged(DBStation station);
    void workerUpdateStationData(int id);

    // For observers of the collection (the headless mode): a worker's status
    // after it was stored, and the end of one of its visits.
    void stationStatusPublished(DBStation station);
    void stationVisitEnded(int id, bool hasError);

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
    int indexOfStation(int id) const;

    StationTableModel *model = nullptr;
    bool collecting = false;
    QList<QThread *> threads;
    // Statuses wait here for the end of the current pass of the event loop,
    // so that a burst of them costs one database sync, not one each.
    QList<DBStation> pendingStatuses;
    bool flushScheduled = false;
};
