#pragma once

#include "nexil/files/seriesexporter.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Per-station settings kept beside the station records (table
// station_settings: station_id, key, value), so that the stations table keeps
// its columns. Known keys: utcOffset ("+03:00"), exportFormats
// ("waterml2,csv") and csvLocale ("C", "tr", "de") for the exported CSV.
//
// The rows are also kept in memory: the workers read them from their own
// threads, where the store's connection cannot be used.
class StationSettings
{
public:
    static const char *const utcOffsetKey;
    static const char *const exportFormatsKey;
    static const char *const csvLocaleKey;
    static const char *const defaultUtcOffset; // when neither the station nor settings.ini names one

    // Creates the table on the named connection (the default one when empty)
    // and reads its rows into memory.
    static bool createTable(const QString &connection = QString());
    static bool reload(const QString &connection = QString());
    // Checks the value (false, with *why, for an unknown key or a value the
    // key does not take); an empty value removes the setting.
    static bool setValue(int stationId, const QString &key, const QString &value, QString *why,
                         const QString &connection = QString());

    // From memory; safe on any thread. Empty when not set.
    static QString value(int stationId, const QString &key);
    // Whether the station has quality tests or value alarms on a channel.
    static bool hasChannelChecks(int stationId);
    // The station's offset in minutes east of UTC: its own setting, else
    // `fallback` (settings.ini's utcOffset), else +03:00.
    static int utcOffsetMinutes(int stationId, const QString &fallback);
    // The known export format names of the setting, in its order, each once.
    static QStringList exportFormats(int stationId);
    // The number format of the station's exported CSV; C when not set.
    static SeriesExporter::Locale csvLocale(int stationId);
};
