#include "stationcounts.h"

#include "store/stationtablemodel.h"

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

StationCounts StationCounts::ofModel(const StationTableModel &model)
{
    StationCounts counts;
    const QList<DBStation> stations = model.stations();
    for (const DBStation &station : stations) {
        ++counts.total;
        if (!station.active) {
            ++counts.inactive;
            continue;
        }
        ++counts.active;
        if (model.isFailing(station))
            ++counts.error;
        else if (model.hasDriftWarning(station))
            ++counts.drift;
    }
    return counts;
}
