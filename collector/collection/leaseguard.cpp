#include "leaseguard.h"

QString LeaseGuard::printable(const QString &name)
{
    QString out;
    out.reserve(qMin(name.size(), 80));
    for (const QChar c : name.left(80))
        out += (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
                c.category() == QChar::Separator_Paragraph)
                   ? QChar(QLatin1Char(' '))
                   : c;
    return out;
}

void LeaseGuard::enable(const QString &holder, int leaseSeconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enabled = true;
    m_holder = holder;
    m_lease = std::chrono::seconds(leaseSeconds);
}

int LeaseGuard::leaseSeconds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_enabled ? int(std::chrono::duration_cast<std::chrono::seconds>(m_lease).count()) : 0;
}

QString LeaseGuard::holder() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_holder;
}

void LeaseGuard::setHeld(const QHash<int, qint64> &epochs, Clock::time_point renewedAt)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Counted from before the renewal was sent: the store's expiry is later.
    const Clock::time_point until = renewedAt + m_lease;
    QHash<int, Held> held;
    for (auto it = epochs.constBegin(); it != epochs.constEnd(); ++it) {
        held.insert(it.key(), {it.value(), until});
        m_lostTo.remove(it.key());
    }
    m_held.swap(held);
}

void LeaseGuard::markLost(int stationId, const QString &newHolder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held.remove(stationId);
    m_lostTo.insert(stationId, newHolder);
}

void LeaseGuard::loseAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held.clear();
}

bool LeaseGuard::mayVisit(int stationId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_enabled)
        return true;
    const auto found = m_held.constFind(stationId);
    return found != m_held.constEnd() && Clock::now() < found->until;
}

qint64 LeaseGuard::epoch(int stationId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_held.value(stationId).epoch;
}

QString LeaseGuard::lostTo(int stationId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lostTo.value(stationId);
}
