#include "workercontroller.h"

#include "store/stationtablemodel.h"
#include "worker.h"

#include <QDeadlineTimer>
#include <QThread>

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
    if (!allEnded)
        qWarning("stopCollecting(): %d worker threads still running", int(threads.size()));
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
    const int row = indexOfStation(station.id);
    if (row < 0)
        return;
    // Only what the worker owns is taken: an operator's change that crossed
    // this status on its way to the worker must not be overwritten, nor the
    // temporary activation of a single visit stored.
    DBStation stored = model->stations().at(row);
    stored.status = station.status;
    stored.has_error = station.has_error;
    stored.last_connection_time = station.last_connection_time;
    stored.values = station.values;
    stored.modified = false;
    model->setData(model->index(row, 0), QVariant::fromValue(stored), Qt::EditRole);
    emit stationStatusPublished(stored);
}

void WorkerController::onWorkerVisitEnded(int id, bool hasError)
{
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
