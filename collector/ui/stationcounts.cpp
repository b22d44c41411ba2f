#include "stationcounts.h"

#include "store/stationtablemodel.h"

StationCounts StationCounts::count(const QList<DBStation> &stations,
                                   const std::function<bool(const DBStation &)> &failing,
                                   const std::function<bool(const DBStation &)> &drifting,
                                   const std::function<bool(const DBStation &)> &alarmed)
{
    StationCounts counts;
    for (const DBStation &station : stations) {
        ++counts.total;
        if (!station.active) {
            ++counts.inactive;
            continue;
        }
        ++counts.active;
        if (alarmed(station))
            ++counts.alarm;
        if (failing(station))
            ++counts.error;
        else if (drifting(station))
            ++counts.drift;
    }
    return counts;
}

StationCounts StationCounts::of(const QList<DBStation> &stations)
{
    return count(
        stations, [](const DBStation &station) { return station.has_error; },
        [](const DBStation &) { return false; }, [](const DBStation &) { return false; });
}

StationCounts StationCounts::ofModel(const StationTableModel &model)
{
    return count(
        model.stations(), [&model](const DBStation &station) { return model.isFailing(station); },
        [&model](const DBStation &station) { return model.hasDriftWarning(station); },
        [&model](const DBStation &station) { return model.hasValueAlarm(station); });
}
