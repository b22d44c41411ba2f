#pragma once

// What the store knows of the channels of a station's data file, for its
// chart: each channel's device slot, the slot's value alarm limits and the
// values its quality tests flagged suspect or failed.

#include "chartplan.h"

#include <QHash>
#include <QString>

class ChartChecks
{
public:
    // A file's channel is the device slot whose stored value at the file's
    // last instant time (or the newest before it) sits at the channel's
    // position in the file with the channel's unit: the file's channels are
    // the device's active slots in order, and that order changes only with
    // the device's configuration. Only slots with quality tests or alarms
    // are looked up. connection: a QSqlDatabase connection name on this
    // thread. False when the store failed (*checks then empty).
    static bool read(const QString &connection, int stationId, const ChartFile &file,
                     QHash<int, ChartChannelChecks> *checks);
};
