#pragma once

#include "store/dbstation.h"
#include "store/stationstats.h"

#include <QHash>
#include <QList>
#include <QString>

// The stations' main figures for `tqm510 --status`: a table for people or
// JSON for scripts.
class StatusReport
{
public:
    static QString table(const QList<DBStation> &stations, const QHash<int, StationStats> &stats);
    static QString json(const QList<DBStation> &stations, const QHash<int, StationStats> &stats);
};
