#pragma once

#include "store/dbstation.h"

#include <QList>

#include <functional>

class StationTableModel;

// The figures of the main window's status bar.
struct StationCounts
{
    int total = 0;
    int active = 0;
    int inactive = 0;
    // Active stations whose last visit failed (drawn in the error colours
    // unless a value alarm is up).
    int error = 0;
    // Active stations, not failing, whose device clock was beyond the limit.
    int drift = 0;
    // Active stations with a value alarm up, failing or not.
    int alarm = 0;

    // By the stored error flags alone.
    static StationCounts of(const QList<DBStation> &stations);
    // As the model draws the rows: a failure lasts until the next visit ends.
    static StationCounts ofModel(const StationTableModel &model);

private:
    static StationCounts count(const QList<DBStation> &stations,
                               const std::function<bool(const DBStation &)> &failing,
                               const std::function<bool(const DBStation &)> &drifting,
                               const std::function<bool(const DBStation &)> &alarmed);
};
