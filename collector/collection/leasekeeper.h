#pragma once

#include "store/dbstation.h"
#include "store/stationleases.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>

#include <chrono>
#include <memory>
#include <mutex>

class QModelIndex;
class LeaseGuard;
class StationTableModel;
class StoreThread;
class WorkerController;

// Holds this collector's station leases on a shared store and tells the
// controller which stations to visit: renews them on a timer of a thread of
// its own, on a connection of its own, so that nothing the main thread waits
// for delays a renewal; starts the stations it takes (at their next due
// time, so a takeover does not visit a station again that another collector
// has just visited) and pauses the ones it loses. The workers read the
// leases held through the controller's LeaseGuard: a lease lost or expired
// without renewal stops its visits at once, whatever the main thread does.
class LeaseKeeper : public QObject
{
    Q_OBJECT
public:
    LeaseKeeper(StationTableModel *model, WorkerController *controller, const QString &holder,
                QObject *parent = nullptr);
    ~LeaseKeeper() override;

    // Makes the model follow the store; on a shared store also returns the
    // keeper of this program's leases (holder empty: the default name),
    // null otherwise.
    static LeaseKeeper *followStore(StationTableModel *model, WorkerController *controller, const QString &holder,
                                    QObject *parent);

    void setTiming(int leaseSeconds, int renewMs);
    // take false: keep and extend, take nothing new (--once after its start).
    void setTaking(bool take);
    // One renewal now, waiting for it; false when the store failed.
    bool renew();
    // Renews on the timer, first at once unless a renewal is still fresh.
    void start();
    // Gives every lease back (a collector that stops or pauses).
    void releaseAll();

    QSet<int> held() const { return m_held; }
    QString holder() const { return m_leases.holder(); }
    // Who holds the station now according to the store (empty: nobody, or
    // the store did not answer).
    QString currentHolder(int stationId);

signals:
    void leasesChanged(QSet<int> taken, QSet<int> lost);

private:
    struct Outcome
    {
        bool ok = false;
        // Renewal failed and the leases have expired.
        bool expired = false;
        QHash<int, qint64> epochs;
        // Stations held before and not now, with who holds them now.
        QHash<int, QString> lostTo;
        int generation = 0;
    };

    // Lets the workers ask the store, through the lease thread, before a save.
    void installConfirmer();
    void onStatus(const DBStation &station);
    void updateWanted();
    void updateKeep();
    void onRowsChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    // On the lease thread.
    Outcome renewOnThread();
    void startTimerOnThread();
    void stopTimerOnThread();
    void apply(const Outcome &outcome);

    StationTableModel *m_model;
    WorkerController *m_controller;
    StationLeases m_leases;
    std::shared_ptr<LeaseGuard> m_guard;
    std::unique_ptr<StoreThread> m_thread;
    int m_renewMs = StationLeases::defaultRenewSeconds * 1000;
    QSet<int> m_held;
    QSet<int> m_visiting; // a status came and the visit's end has not
    QSet<int> m_wantedIds; // the active stations, as last told to the lease thread

    // What the lease thread renews, set from the main thread.
    mutable std::mutex m_mutex;
    QList<int> m_wanted;
    QSet<int> m_keep;
    bool m_take = true;
    bool m_timerRunning = false;
    // A renewal that answers after releaseAll() changes nothing.
    int m_generation = 0;
    // On the lease thread: when the leases were last renewed.
    bool m_everRenewed = false;
    QSet<int> m_threadHeld;
    std::chrono::steady_clock::time_point m_validUntil;
};
