#pragma once

#include <QHash>
#include <QString>

#include <chrono>
#include <functional>
#include <mutex>

// What a worker asks, on its own thread, before and during a visit on a
// shared store: does this collector still hold the station's lease, under
// which number, and may the visit's data be saved. The lease renewal (on a
// thread of its own) fills it; until a store with leases enables it, every
// visit may go on.
class LeaseGuard
{
public:
    using Clock = std::chrono::steady_clock;

    // A collector's name as read from the store, fit for one line of text.
    static QString printable(const QString &name);

    void enable(const QString &holder, int leaseSeconds);
    QString holder() const;
    // The length of a lease; 0 while no store with leases enabled this guard.
    int leaseSeconds() const;

    // After a renewal that began at `renewedAt`: the leases held now.
    void setHeld(const QHash<int, qint64> &epochs, Clock::time_point renewedAt);
    // A station another collector holds now (its name, when known).
    void markLost(int stationId, const QString &newHolder);
    // Renewal failed past expiry, or the collector paused: nothing is held.
    void loseAll();

    // True while the station's lease is held and has not expired.
    bool mayVisit(int stationId) const;
    // The lease number held (0: none, or no leases in use).
    qint64 epoch(int stationId) const;
    // Who took a station this collector lost (empty: unknown or nobody).
    QString lostTo(int stationId) const;

private:
    struct Held
    {
        qint64 epoch = 0;
        Clock::time_point until;
    };

    mutable std::mutex m_mutex;
    bool m_enabled = false;
    QString m_holder;
    std::chrono::milliseconds m_lease{0};
    QHash<int, Held> m_held;
    QHash<int, QString> m_lostTo;
};
