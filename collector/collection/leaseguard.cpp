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

void LeaseGuard::enable(const QString &holder, int leaseSeconds, Confirmer confirmer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enabled = true;
    m_holder = holder;
    m_lease = std::chrono::seconds(leaseSeconds);
    m_confirm = std::move(confirmer);
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

LeaseGuard::SaveVerdict LeaseGuard::confirmBeforeSave(int stationId, qint64 epoch, QString *holderNow)
{
    Confirmer confirm;
    Held held;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_enabled)
            return SaveVerdict::Save;
        const auto found = m_held.constFind(stationId);
        if (epoch > 0 && (found == m_held.constEnd() || found->epoch != epoch)) {
            *holderNow = m_lostTo.value(stationId);
            return SaveVerdict::Lost;
        }
        if (epoch > 0)
            held = *found;
        confirm = m_confirm;
    }
    QString holder;
    const Clock::time_point asked = Clock::now();
    const int answer = confirm ? confirm(stationId, epoch, &holder) : 2;
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (answer == 0) {
        auto found = m_held.find(stationId);
        if (epoch > 0 && found != m_held.end() && found->epoch == epoch)
            found->until = asked + m_lease;
        return SaveVerdict::Save;
    }
    if (answer == 1) {
        if (epoch > 0) {
            m_held.remove(stationId);
            m_lostTo.insert(stationId, holder);
        }
        *holderNow = holder;
        return SaveVerdict::Lost;
    }
    // The store is away: nobody can take the lease before it expires, but
    // the save must end well before that.
    if (epoch > 0 && held.until - now > m_lease / 4)
        return SaveVerdict::Save;
    return SaveVerdict::Unconfirmed;
}
