#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One row per finished visit in the station_visits table, kept for a limited
// time, for whoever asks when a station was reached and what came of it.
struct StationVisit
{
    int stationId = 0;
    QDateTime start, end;
    QString result; // success, noConnection, wrongStation, deviceError, saveError
    QString reason;
    qint64 records = 0;
    qint64 bytes = 0;
};

class StationVisits
{
public:
    static constexpr int defaultKeepDays = 90;

    // On the named connection (the default one when empty).
    static bool createTable(const QString &connection = QString());
    // Stores one visit and drops the rows older than keepDays (at most once
    // an hour, so that a visit costs one INSERT).
    static bool record(const StationVisit &visit, int keepDays = defaultKeepDays);
    // The visits of one station that ended in [from, to] (either may be
    // invalid: open), newest first, at most `limit`.
    static QList<StationVisit> select(int stationId, const QDateTime &from, const QDateTime &to, int limit,
                                      const QString &connection, bool *ok);
};
