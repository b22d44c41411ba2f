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
    enum class SaveVerdict { Save, Lost, Unconfirmed };
    // Asks the store whether the lease is still ours under that number (and
    // extends it); runs the question wherever it must, with a bounded wait.
    // 0: confirmed, 1: lost (holder: who has it now), 2: no answer.
    using Confirmer = std::function<int(int stationId, qint64 epoch, QString *holder)>;

    // A collector's name as read from the store, fit for one line of text.
    static QString printable(const QString &name);

    void enable(const QString &holder, int leaseSeconds, Confirmer confirmer);
    QString holder() const;

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
    // Right before saving the data of a visit made under lease number
    // `epoch`: asks the store. Without an answer the lease counts while at
    // least a quarter of it is left. A visit without a lease (epoch 0, one
    // asked for by the operator) saves while nobody else holds one.
    SaveVerdict confirmBeforeSave(int stationId, qint64 epoch, QString *holderNow);

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
    Confirmer m_confirm;
    QHash<int, Held> m_held;
    QHash<int, QString> m_lostTo;
};
