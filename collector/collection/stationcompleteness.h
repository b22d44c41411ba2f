#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// How complete a station's saved values are over its last days: the values
// its channels' recording intervals expect against those in its data files.
struct StationCompleteness
{
    qint64 present = 0, missing = 0;
    double percent = -1; // -1 when nothing was expected (no file, no value)
    QString error;       // a data file that could not be read

    // The station's files are folder/prefix_ddMMyyyy.xml; only those written
    // to within the window are read. The window starts at midnight `days` − 1
    // days before `now` and ends with the last saved value.
    static StationCompleteness lastDays(const QString &folder, const QString &prefix, const QDateTime &now,
                                        int days = 30);
    // Oldest first, by the date in the name.
    static QStringList stationFiles(const QString &folder, const QString &prefix, const QDateTime &since);
};
