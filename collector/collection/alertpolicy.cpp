#include "alertpolicy.h"

bool AlertPolicy::quiet(const StationStats &stats, const QString &kind, const QDateTime &now)
{
    const QDateTime last = stats.lastAlert.value(kind);
    if (!last.isValid())
        return false;
    const qint64 since = last.secsTo(now);
    return since >= 0 && since < quietSeconds;
}

QStringList AlertPolicy::due(StationStats &stats, bool lastVisitSucceeded, const QDateTime &now) const
{
    QStringList kinds;
    const auto take = [&](const QString &kind) {
        if (stats.pendingAlerts.contains(kind) || quiet(stats, kind, now))
            return;
        stats.pendingAlerts.insert(kind, now);
        kinds << kind;
    };
    if (lastVisitSucceeded) {
        // A failing mail nobody received is no longer true; the recovery is
        // told once, and only to whoever was told of the failure.
        stats.pendingAlerts.remove(failing());
        if (stats.failingAlerted) {
            stats.failingAlerted = false;
            take(recovered());
        }
    } else {
        // Failing again before the recovery mail went out: the failing mail
        // that was delivered is still true.
        if (stats.pendingAlerts.remove(recovered()) > 0)
            stats.failingAlerted = true;
        if (stats.consecutiveFailures >= failuresBeforeAlert)
            take(failing());
    }
    if (stats.driftFlag)
        take(clock());
    else
        stats.pendingAlerts.remove(clock());
    // Stays pending until delivered: the change happened, whatever comes next.
    if (stats.configChanged)
        take(configChanged());
    if (stats.memoryWarning)
        take(memory());
    else
        stats.pendingAlerts.remove(memory());
    return kinds;
}

void AlertPolicy::delivered(StationStats &stats, const QString &kind, const QDateTime &now)
{
    const bool wasPending = stats.pendingAlerts.remove(kind) > 0;
    stats.lastAlert.insert(kind, now);
    if (kind == failing()) {
        stats.failingAlerted = true;
        // Withdrawn while on its way: the station recovered meanwhile, and
        // whoever got this mail is owed the recovery.
        if (!wasPending && stats.consecutiveFailures == 0)
            stats.pendingAlerts.insert(recovered(), now);
    } else if (kind == recovered()) {
        stats.failingAlerted = false;
    }
}

QString AlertPolicy::alarmKind(int slot, ValueAlarms::Kind kind, bool raised)
{
    return QStringLiteral("%1:%2:%3")
        .arg(raised ? QStringLiteral("alarm") : QStringLiteral("alarm-cleared"))
        .arg(slot)
        .arg(ValueAlarms::kindName(kind));
}

bool AlertPolicy::alarmMailDue(const StationStats &stats, int slot, ValueAlarms::Kind kind, bool raised,
                               const QDateTime &now)
{
    const QString raising = alarmKind(slot, kind, true);
    if (raised)
        return !quiet(stats, raising, now);
    const QDateTime told = stats.lastAlert.value(raising);
    const QDateTime cleared = stats.lastAlert.value(alarmKind(slot, kind, false));
    return told.isValid() && (!cleared.isValid() || cleared < told);
}
