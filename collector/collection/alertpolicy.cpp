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
        if (quiet(stats, kind, now))
            return false;
        stats.lastAlert.insert(kind, now);
        kinds << kind;
        return true;
    };
    if (lastVisitSucceeded) {
        // Recovery is told once, and only to whoever was told of the failure.
        if (stats.failingAlerted) {
            stats.failingAlerted = false;
            take(recovered());
        }
    } else if (stats.consecutiveFailures >= failuresBeforeAlert && take(failing())) {
        stats.failingAlerted = true;
    }
    if (stats.driftFlag)
        take(clock());
    if (stats.memoryWarning)
        take(memory());
    return kinds;
}
