#include "stationcounts.h"

StationCounts StationCounts::of(const QList<DBStation> &stations)
{
    StationCounts counts;
    for (const DBStation &station : stations) {
        ++counts.total;
        if (!station.active) {
            ++counts.inactive;
            continue;
        }
        ++counts.active;
        if (station.has_error)
            ++counts.error;
    }
    return counts;
}
