#include "leasekeeper.h"

#include "collectorlogging.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "store/storefollower.h"
#include "workercontroller.h"

#include <QHash>
#include <QPointer>
#include <QTimer>

#include <limits>

LeaseKeeper::LeaseKeeper(StationTableModel *model, WorkerController *controller, const QString &holder,
                         QObject *parent)
    : QObject(parent), m_model(model), m_controller(controller), m_leases(holder), m_timer(new QTimer(this))
{
    m_timer->setInterval(StationLeases::defaultRenewSeconds * 1000);
    connect(m_timer, &QTimer::timeout, this, &LeaseKeeper::renew);
    connect(controller, &WorkerController::stationStatusPublished, this, &LeaseKeeper::onStatus);
    connect(controller, &WorkerController::stationVisitEnded, this, [this](int id) { m_visiting.remove(id); });
    controller->setVisitGate([this](int id) { return m_held.contains(id); });
    m_leases.createTables();
}

void LeaseKeeper::setTiming(int leaseSeconds, int renewMs)
{
    m_leases = StationLeases(m_leases.holder(), leaseSeconds);
    m_timer->setInterval(renewMs);
}

LeaseKeeper *LeaseKeeper::followStore(StationTableModel *model, WorkerController *controller,
                                      const QString &holder, QObject *parent)
{
    auto *follower = new StoreFollower(model, model);
    if (!follower->start())
        return nullptr;
    auto *keeper =
        new LeaseKeeper(model, controller, holder.isEmpty() ? StationLeases::defaultHolder() : holder, parent);
    follower->setOwnStations([keeper]() { return keeper->held(); });
    // Shorter leases for tests of a takeover; the defaults otherwise.
    const int leaseSeconds = qEnvironmentVariableIntValue("TQM510_LEASE_SECONDS");
    const int renewMs = qEnvironmentVariableIntValue("TQM510_LEASE_RENEW_MS");
    if (leaseSeconds > 0 && renewMs > 0)
        keeper->setTiming(leaseSeconds, renewMs);
    return keeper;
}

void LeaseKeeper::start()
{
    if (!m_validUntil.isValid() || QDateTime::currentDateTimeUtc() >= m_validUntil)
        renew();
    m_timer->start();
}

void LeaseKeeper::onStatus(const DBStation &station)
{
    if (m_held.contains(station.id))
        m_visiting.insert(station.id);
}

bool LeaseKeeper::renew()
{
    QList<int> wanted;
    QHash<int, DBStation> byId;
    for (const DBStation &s : m_model->stations()) {
        if (s.active)
            wanted << s.id;
        byId.insert(s.id, s);
    }
    bool ok = false;
    const QSet<int> now = m_leases.renew(wanted, m_visiting, &ok, m_take);
    if (!ok) {
        // Visits go on while the leases may still be ours, not after.
        if (m_validUntil.isValid() && QDateTime::currentDateTimeUtc() >= m_validUntil && !m_held.isEmpty()) {
            qCWarning(lcController, "leases expired without renewal: %d stations paused", int(m_held.size()));
            lose(m_held);
        }
        return false;
    }
    // Counted from before the renewal: a lease may be older than its answer.
    m_validUntil = QDateTime::currentDateTimeUtc().addSecs(m_leases.leaseSeconds()).addMSecs(-m_timer->interval());
    const QSet<int> taken = now - m_held;
    const QSet<int> lost = m_held - now;
    lose(lost);
    m_held = now;
    // Due at its last visit plus its period: another collector may just have
    // visited it. Read from the store now, not from the list shown, which
    // follows it a few seconds late.
    const QHash<int, QDateTime> lastVisits =
        taken.isEmpty() ? QHash<int, QDateTime>() : DatabaseConnection::lastConnectionTimes(taken.values());
    const qint64 minuteMs = m_controller->options().minuteMs;
    for (int id : taken) {
        const DBStation s = byId.value(id);
        const QDateTime last = lastVisits.value(id, s.last_connection_time);
        qint64 delay = 0;
        if (last.isValid())
            delay = qMax<qint64>(0, QDateTime::currentDateTime().msecsTo(
                                        last.addMSecs(qint64(s.connection_period) * minuteMs)));
        QPointer<LeaseKeeper> self(this);
        QTimer::singleShot(int(qMin<qint64>(delay, std::numeric_limits<int>::max())), this, [self, id]() {
            if (self && self->m_held.contains(id))
                self->m_controller->startStation(id);
        });
    }
    if (!taken.isEmpty() || !lost.isEmpty()) {
        qCDebug(lcController, "leases of %s: %d held, %d taken, %d lost", qUtf8Printable(m_leases.holder()),
                int(now.size()), int(taken.size()), int(lost.size()));
        emit leasesChanged(taken, lost);
    }
    return true;
}

void LeaseKeeper::lose(const QSet<int> &ids)
{
    for (int id : ids) {
        m_held.remove(id);
        m_controller->pauseStation(id);
    }
}

void LeaseKeeper::releaseAll()
{
    m_timer->stop();
    m_leases.releaseAll();
    m_held.clear();
    m_validUntil = QDateTime();
}
