#pragma once

#include "store/dbstation.h"
#include "store/stationleases.h"

#include <QDateTime>
#include <QObject>
#include <QSet>

class QTimer;
class StationTableModel;
class WorkerController;

// Holds this collector's station leases on a shared store and tells the
// controller which stations to visit: renews them on a timer, starts the
// stations it takes (at their next due time, so a takeover does not visit a
// station again that another collector has just visited) and pauses the
// ones it loses. Without a successful renewal, the leases count as lost at
// their expiry.
class LeaseKeeper : public QObject
{
    Q_OBJECT
public:
    LeaseKeeper(StationTableModel *model, WorkerController *controller, const QString &holder,
                QObject *parent = nullptr);

    // Makes the model follow the store; on a shared store also returns the
    // keeper of this program's leases (holder empty: the default name),
    // null otherwise.
    static LeaseKeeper *followStore(StationTableModel *model, WorkerController *controller, const QString &holder,
                                    QObject *parent);

    void setTiming(int leaseSeconds, int renewMs);
    // take false: keep and extend, take nothing new (--once after its start).
    void setTaking(bool take) { m_take = take; }
    // One renewal now; false when the store failed.
    bool renew();
    // Renews on the timer, first at once unless a renewal is still fresh.
    void start();
    // Gives every lease back (a collector that stops).
    void releaseAll();

    QSet<int> held() const { return m_held; }
    QString holder() const { return m_leases.holder(); }

signals:
    void leasesChanged(QSet<int> taken, QSet<int> lost);

private:
    void onStatus(const DBStation &station);
    void lose(const QSet<int> &ids);

    StationTableModel *m_model;
    WorkerController *m_controller;
    StationLeases m_leases;
    QTimer *m_timer;
    QSet<int> m_held;
    QSet<int> m_visiting; // a status came and the visit's end has not
    QDateTime m_validUntil;
    bool m_take = true;
};
