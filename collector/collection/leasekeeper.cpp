#include "leasekeeper.h"

#include "collectorlogging.h"
#include "leaseguard.h"
#include "store/databaseconnection.h"
#include "store/databaseurl.h"
#include "store/stationtablemodel.h"
#include "store/storefollower.h"
#include "storethread.h"
#include "workercontroller.h"

#include <QPointer>
#include <QTimer>

#include <limits>

namespace {
const char *const connectionName = "station-leases";
// A renewal or a confirmation is waited for this long at most.
constexpr int answerTimeoutMs = 10000;
} // namespace

LeaseKeeper::LeaseKeeper(StationTableModel *model, WorkerController *controller, const QString &holder,
                         QObject *parent)
    : QObject(parent), m_model(model), m_controller(controller),
      m_leases(holder, StationLeases::defaultLeaseSeconds, QLatin1String(connectionName)),
      m_guard(controller->leaseGuard()),
      m_thread(std::make_unique<StoreThread>(DatabaseUrl::current(), QLatin1String(connectionName)))
{
    connect(controller, &WorkerController::stationStatusPublished, this, &LeaseKeeper::onStatus);
    connect(controller, &WorkerController::stationVisitEnded, this, [this](int id) {
        m_visiting.remove(id);
        updateKeep();
    });
    connect(model, &StationTableModel::dataChanged, this, &LeaseKeeper::onRowsChanged);
    connect(model, &StationTableModel::rowsInserted, this, &LeaseKeeper::updateWanted);
    connect(model, &StationTableModel::rowsRemoved, this, &LeaseKeeper::updateWanted);
    controller->setVisitGate([this](int id) { return m_held.contains(id); });
    DatabaseConnection::setLeaseHolder(holder);
    controller->setHolderCheck([this](int id) {
        const QString other = currentHolder(id);
        return other == m_leases.holder() ? QString() : other;
    });
    updateWanted();
    StationLeases *leases = &m_leases;
    StoreThread *thread = m_thread.get();
    bool made = false;
    m_thread->call<bool>([leases, thread] { return thread->ready() && leases->createTables(); }, &made,
                         answerTimeoutMs);
    installConfirmer();
}

LeaseKeeper::~LeaseKeeper()
{
    DatabaseConnection::setLeaseHolder(QString());
    // The workers outlive the keeper: they must not ask its thread any more.
    m_guard->enable(m_leases.holder(), m_leases.leaseSeconds());
    m_guard->loseAll();
    // Whatever was posted runs first; then the timer stops calling back.
    m_thread->runAndWait([this] { stopTimerOnThread(); });
    m_thread.reset();
}

void LeaseKeeper::setTiming(int leaseSeconds, int renewMs)
{
    // Before start(): nothing runs on the lease thread yet.
    m_leases = StationLeases(m_leases.holder(), leaseSeconds, QLatin1String(connectionName));
    m_renewMs = renewMs;
    installConfirmer();
}

void LeaseKeeper::installConfirmer()
{
    // The commit of each visit checks its lease in the store itself.
    m_guard->enable(m_leases.holder(), m_leases.leaseSeconds());
}

void LeaseKeeper::setTaking(bool take)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_take = take;
}

LeaseKeeper *LeaseKeeper::followStore(StationTableModel *model, WorkerController *controller,
                                      const QString &holder, QObject *parent)
{
    auto *follower = new StoreFollower(model, model);
    if (!follower->start())
        return nullptr;
    auto *keeper = new LeaseKeeper(model, controller,
                                   holder.isEmpty() ? StationLeases::defaultHolder() : holder, parent);
    follower->setOwnStations([keeper]() { return keeper->held(); });
    // Shorter leases for tests of a takeover; the defaults otherwise.
    const int leaseSeconds = qEnvironmentVariableIntValue("TQM510_LEASE_SECONDS");
    const int renewMs = qEnvironmentVariableIntValue("TQM510_LEASE_RENEW_MS");
    if (leaseSeconds > 0 && renewMs > 0)
        keeper->setTiming(leaseSeconds, renewMs);
    return keeper;
}

void LeaseKeeper::updateWanted()
{
    QList<int> wanted;
    for (const DBStation &s : m_model->stations())
        if (s.active)
            wanted << s.id;
    m_wantedIds = QSet<int>(wanted.cbegin(), wanted.cend());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wanted = wanted;
    m_keep = m_visiting;
}

void LeaseKeeper::updateKeep()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keep = m_visiting;
}

void LeaseKeeper::onRowsChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    // Every status shows as a changed row: with thousands of stations a
    // scan of the whole list for each would hold the main loop. Only an
    // activation changes what is wanted.
    const QList<DBStation> stations = m_model->stations();
    if (!topLeft.isValid() || !bottomRight.isValid() || bottomRight.row() >= stations.size()) {
        updateWanted();
        return;
    }
    for (int row = qMax(0, topLeft.row()); row <= bottomRight.row(); ++row) {
        const DBStation &s = stations.at(row);
        if (s.active != m_wantedIds.contains(s.id)) {
            updateWanted();
            return;
        }
    }
}

void LeaseKeeper::onStatus(const DBStation &station)
{
    if (m_held.contains(station.id) && !m_visiting.contains(station.id)) {
        m_visiting.insert(station.id);
        updateKeep();
    }
}

LeaseKeeper::Outcome LeaseKeeper::renewOnThread()
{
    QList<int> wanted;
    QSet<int> keep;
    bool take = true;
    Outcome out;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wanted = m_wanted;
        keep = m_keep;
        take = m_take;
        out.generation = m_generation;
    }
    const auto asked = std::chrono::steady_clock::now();
    if (m_thread->ready())
        m_leases.renew(wanted, keep, &out.ok, take, &out.epochs);
    if (!out.ok) {
        m_thread->dropConnection();
        // Visits go on while the leases may still be ours, not after.
        out.expired = m_everRenewed && std::chrono::steady_clock::now() >= m_validUntil;
        if (out.expired) {
            m_guard->loseAll();
            m_threadHeld.clear();
        }
        return out;
    }
    m_everRenewed = true;
    m_validUntil = asked + std::chrono::seconds(m_leases.leaseSeconds());
    // Who took what we lost, for the operator; the workers stop at once.
    for (int id : qAsConst(m_threadHeld)) {
        if (out.epochs.contains(id))
            continue;
        QString holder;
        m_leases.currentHolder(id, &holder);
        // Nobody: given back by this renewal, beyond our share.
        if (!holder.isEmpty())
            out.lostTo.insert(id, holder);
        m_guard->markLost(id, holder);
    }
    m_threadHeld = QSet<int>(out.epochs.keyBegin(), out.epochs.keyEnd());
    m_guard->setHeld(out.epochs, asked);
    return out;
}

void LeaseKeeper::startTimerOnThread()
{
    auto *timer = new QTimer(m_thread->context());
    timer->setInterval(m_renewMs);
    QPointer<LeaseKeeper> self(this);
    connect(timer, &QTimer::timeout, m_thread->context(), [this, self]() {
        const Outcome outcome = renewOnThread();
        QMetaObject::invokeMethod(
            this,
            [self, outcome]() {
                if (self)
                    self->apply(outcome);
            },
            Qt::QueuedConnection);
    });
    timer->start();
}

void LeaseKeeper::stopTimerOnThread()
{
    qDeleteAll(m_thread->context()->findChildren<QTimer *>());
}

bool LeaseKeeper::renew()
{
    updateWanted();
    Outcome outcome;
    if (!m_thread->call<Outcome>([this] { return renewOnThread(); }, &outcome, answerTimeoutMs))
        return false;
    apply(outcome);
    return outcome.ok;
}

void LeaseKeeper::start()
{
    renew();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_timerRunning)
        return;
    m_timerRunning = true;
    m_thread->post([this] { startTimerOnThread(); });
}

void LeaseKeeper::apply(const Outcome &outcome)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (outcome.generation != m_generation)
            return;
    }
    if (!outcome.ok) {
        if (outcome.expired && !m_held.isEmpty()) {
            qCWarning(lcController, "leases expired without renewal: %d stations paused", int(m_held.size()));
            const QSet<int> lost = m_held;
            for (int id : lost)
                m_controller->leaseLost(id, QString());
            m_held.clear();
            emit leasesChanged({}, lost);
        }
        return;
    }
    const QSet<int> now(outcome.epochs.keyBegin(), outcome.epochs.keyEnd());
    const QSet<int> taken = now - m_held;
    const QSet<int> lost = m_held - now;
    for (int id : lost) {
        if (outcome.lostTo.contains(id))
            m_controller->leaseLost(id, outcome.lostTo.value(id));
        else
            m_controller->pauseStation(id);
    }
    m_held = now;
    // Due at its last visit plus its period: another collector may just have
    // visited it. Read from the store now, not from the list shown, which
    // follows it a few seconds late.
    const QHash<int, QDateTime> lastVisits =
        taken.isEmpty() ? QHash<int, QDateTime>() : DatabaseConnection::lastConnectionTimes(taken.values());
    const qint64 minuteMs = m_controller->options().minuteMs;
    QHash<int, DBStation> byId;
    for (const DBStation &s : m_model->stations())
        byId.insert(s.id, s);
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
}

QString LeaseKeeper::currentHolder(int stationId)
{
    QString holder;
    StationLeases *leases = &m_leases;
    StoreThread *thread = m_thread.get();
    m_thread->call<QString>(
        [leases, thread, stationId]() {
            QString h;
            if (thread->ready() && !leases->currentHolder(stationId, &h))
                thread->dropConnection();
            return h;
        },
        &holder, answerTimeoutMs);
    return holder;
}

void LeaseKeeper::releaseAll()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        m_timerRunning = false;
    }
    m_guard->loseAll();
    // A visit's values and its resume point are committed together, so a
    // station given back is taken over from where its values end.
    const QList<int> keep;
    StationLeases *leases = &m_leases;
    StoreThread *thread = m_thread.get();
    bool released = false;
    m_thread->call<bool>(
        [this, leases, thread, keep]() {
            stopTimerOnThread();
            m_everRenewed = false;
            m_threadHeld.clear();
            return thread->ready() && leases->releaseAll(keep);
        },
        &released, answerTimeoutMs);
    m_held.clear();
}
