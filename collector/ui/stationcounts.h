#pragma once

#include "store/dbstation.h"

#include <QList>

// The figures of the main window's status bar.
struct StationCounts
{
    int total = 0;
    int active = 0;
    int inactive = 0;
    // Active stations whose last visit failed: the rows drawn in the error colours.
    int error = 0;

    static StationCounts of(const QList<DBStation> &stations);
};
