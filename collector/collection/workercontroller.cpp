#include "workercontroller.h"

#include "store/stationtablemodel.h"
#include "worker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include "collectorlogging.h"

WorkerController::WorkerController(StationTableModel *model, QObject *parent) : QObject(parent), model(model)
{
    registerDBStation();
    connect(model, &StationTableModel::rowsInserted, this, &WorkerController::onStationInserted);
    connect(model, &StationTableModel::rowsAboutToBeRemoved, this, &WorkerController::onStationRemoved);
    connect(model, &StationTableModel::dataChanged, this, &WorkerController::onStationChanged);
    collecting = false;
    const QList<DBStation> stations = model->stations();
    for (const DBStation &station : stations)
        startWorker(station);
}

WorkerController::~WorkerController()
{
    if (!threads.isEmpty())
        stopCollecting();
}

void WorkerController::startWorker(const DBStation &station)
{
    auto *worker = new Worker(station);
    connect(this, &WorkerController::workerStartCollecting, worker, &Worker::onStartCollecting);
    connect(this, &WorkerController::workerPauseCollecting, worker, &Worker::onPauseCollecting);
    connect(this, &WorkerController::workerStopCollecting, worker, &Worker::onStopCollecting);
    connect(this, &WorkerController::workerStationChanged, worker, &Worker::onStationUpdated);
    connect(this, &WorkerController::workerUpdateStationData, worker, &Worker::onUpdateStationData);
    connect(worker, &Worker::workerStatusChanged, this, &WorkerController::onWorkerStatusChanged);
    connect(worker, &Worker::visitEnded, this, &WorkerController::onWorkerVisitEnded);

    auto *thread = new QThread(this);
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
    emit workerStartCollecting(0);
}

void WorkerController::pauseCollecting()
{
    collecting = false;
    emit workerPauseCollecting(0);
}

bool WorkerController::stopCollecting(int timeoutMs)
{
    collecting = false;
    emit workerStopCollecting(0);
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
    // Statuses the workers sent before they ended are still stored.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    flushStatuses();
    if (!allEnded)
        qCWarning(lcController, "stopCollecting(): %d worker threads still running", int(threads.size()));
    return allEnded;
}

void WorkerController::updateStationData(int row)
{
    if (row < 0 || row >= model->rowCount())
        return;
    emit workerUpdateStationData(model->stations().at(row).id);
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

void WorkerController::onStationChanged(const QModelIndex &topLeft, const QModelIndex &, const QVector<int> &)
{
    if (!topLeft.isValid() || topLeft.row() >= model->rowCount())
        return;
    const DBStation station = model->stations().at(topLeft.row());
    if (!station.modified)
        return;
    emit workerStationChanged(station);
    if (collecting)
        emit workerStartCollecting(station.id);
}

void WorkerController::onWorkerStatusChanged(DBStation station)
{
    pendingStatuses.append(station);
    if (!flushScheduled) {
        flushScheduled = true;
        QMetaObject::invokeMethod(this, &WorkerController::flushStatuses, Qt::QueuedConnection);
    }
}

void WorkerController::flushStatuses()
{
    flushScheduled = false;
    if (pendingStatuses.isEmpty())
        return;
    QList<DBStation> pending;
    pending.swap(pendingStatuses);

    QList<int> rows;
    QList<DBStation> records;
    QList<DBStation> published;
    for (const DBStation &status : qAsConst(pending)) {
        // A station deleted meanwhile stays deleted.
        const int row = indexOfStation(status.id);
        if (row < 0)
            continue;
        // Only what the worker owns is taken: an operator's change that
        // crossed this status on its way to the worker must not be
        // overwritten, nor the temporary activation of a single visit stored.
        const int at = rows.indexOf(row);
        DBStation merged = at >= 0 ? records.at(at) : model->stations().at(row);
        merged.status = status.status;
        merged.has_error = status.has_error;
        merged.last_connection_time = status.last_connection_time;
        merged.values = status.values;
        merged.modified = false;
        if (at >= 0) {
            records[at] = merged;
        } else {
            rows.append(row);
            records.append(merged);
        }
        published.append(merged);
    }
    if (!model->updateStations(rows, records)) {
        // One refused row must not hold back the others.
        for (int i = 0; i < rows.size(); ++i)
            model->setData(model->index(rows.at(i), 0), QVariant::fromValue(records.at(i)), Qt::EditRole);
    }
    for (const DBStation &station : qAsConst(published))
        emit stationStatusPublished(station);
}

void WorkerController::onWorkerVisitEnded(int id, bool hasError)
{
    // The visit's last status is stored before its end is announced.
    flushStatuses();
    if (indexOfStation(id) >= 0)
        emit stationVisitEnded(id, hasError);
}

int WorkerController::indexOfStation(int id) const
{
    const QList<DBStation> stations = model->stations();
    for (int row = 0; row < stations.size(); ++row) {
        if (stations.at(row).id == id)
            return row;
    }
    return -1;
}
