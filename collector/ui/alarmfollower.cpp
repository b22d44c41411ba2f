#include "alarmfollower.h"

#include "collection/storethread.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "store/storefollower.h"

#include <QTimer>

#include <atomic>
#include <utility>

AlarmFollower::AlarmFollower(StationTableModel *model, QObject *parent)
    : QObject(parent), m_model(model), m_timer(new QTimer(this))
{
    static std::atomic_int followers{0};
    m_thread =
        std::make_unique<StoreThread>(DatabaseUrl(), QStringLiteral("window-alarms-%1").arg(++followers));
    // The same cadence as the station list's.
    m_timer->setInterval(StoreFollower::defaultIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &AlarmFollower::refresh);
}

AlarmFollower::~AlarmFollower()
{
    // The read's answer comes back to this object: none may be left out.
    m_thread.reset();
}

void AlarmFollower::setInterval(int ms)
{
    m_timer->setInterval(ms);
}

bool AlarmFollower::start()
{
    if (!DatabaseConnection::isPostgreSQL())
        return false;
    m_timer->start();
    return true;
}

void AlarmFollower::refresh()
{
    if (m_out) {
        m_again = true;
        return;
    }
    m_out = true;
    StoreThread *thread = m_thread.get();
    thread->post([this, thread] {
        QList<ChannelChecks::ActiveAlarm> alarms;
        const bool ok = thread->ready() && ChannelChecks(thread->connectionName()).activeAlarms(&alarms);
        // The next read opens it anew (a restarted server).
        if (!ok)
            thread->dropConnection();
        QMetaObject::invokeMethod(
            this, [this, ok, alarms] { take(ok, alarms); }, Qt::QueuedConnection);
    });
}

void AlarmFollower::take(bool ok, const QList<ChannelChecks::ActiveAlarm> &alarms)
{
    m_out = false;
    // A failed read says nothing about the alarms: keep what is shown, and
    // try again after an interval even where no poll runs.
    if (ok) {
        m_model->showValueAlarms(alarms);
        ++m_reads;
    } else if (!m_timer->isActive()) {
        QTimer::singleShot(m_timer->interval(), this, &AlarmFollower::refresh);
    }
    if (std::exchange(m_again, false))
        refresh();
}
