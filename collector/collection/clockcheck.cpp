#include "clockcheck.h"

#include <QtGlobal>

ClockCheck::Verdict ClockCheck::evaluate(const QDateTime &device, const QDateTime &host) const
{
    Verdict v;
    if (!device.isValid() || !host.isValid())
        return v;
    v.driftSeconds = host.secsTo(device);
    v.beyondLimit = qAbs(v.driftSeconds) > limit;
    // A host clock set back since the last setting must not block the next.
    constexpr qint64 day = 24 * 3600;
    v.syncNow = v.beyondLimit && sync && (!lastSync.isValid() || lastSync.secsTo(host) >= day ||
                                                  lastSync.secsTo(host) < 0);
    return v;
}
