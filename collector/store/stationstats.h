#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

#include <functional>

// A station's visit statistics and what its alerts and forecasts remember,
// kept in the station_stats table beside stations (which stays as it is, so
// that an older program still opens the file).
struct StationStats
{
    int stationId = 0;
    qint64 visits = 0;
    qint64 successes = 0;
    qint64 failedNoConnection = 0;
    qint64 failedWrongStation = 0;
    qint64 failedDevice = 0;
    qint64 failedSave = 0;
    qint64 retries = 0;
    qint64 records = 0;
    qint64 bytes = 0;
    qint64 lastDurationMs = 0;
    QDateTime lastSuccess;
    bool driftKnown = false;
    qint64 lastDriftSeconds = 0;
    bool driftFlag = false;
    QDateTime lastClockSet;
    // The last clock setting sent, answered or not: at most one a day.
    QDateTime lastClockAttempt;
    int consecutiveFailures = 0;
    QString lastReason;
    // Memory fill in percent at each visit that reported it (latest last).
    QList<QPair<QDateTime, double>> memorySamples;
    QDateTime memoryFull;
    QDateTime memoryOverwrite;
    bool memoryWarning = false;
    // Share of the expected records of the last 30 days that arrived (0..1);
    // NULL in the table until a completeness source has computed it.
    bool completenessKnown = false;
    double completeness30d = 0.0;
    // Why the last completeness could not be worked out (a data file that
    // cannot be read); empty when it could.
    QString completenessError;
    // Alert mail: when each kind last reached the server, whether a
    // delivered "failing" mail waits for its recovery mail, and the kinds due
    // but not delivered yet (since when).
    QHash<QString, QDateTime> lastAlert;
    bool failingAlerted = false;
    QHash<QString, QDateTime> pendingAlerts;
    // Kept in the configuration history, not in this table: the visits that
    // found a change nobody here made, and whether the last one did (with
    // the fields that changed).
    qint64 configChanges = 0;
    bool configChanged = false;
    QString configChangeText;

    qint64 failures() const { return failedNoConnection + failedWrongStation + failedDevice + failedSave; }
    // A few lines for a tool tip.
    QString summary() const;
};

Q_DECLARE_METATYPE(StationStats)

// The station_stats table on the default connection.
class StationStatsStore
{
public:
    static bool createTable();
    // On the named connection (the default one when empty).
    static QHash<int, StationStats> load(const QString &connection = QString());
    // One visit, in one transaction: the counters of `counts` are added to
    // the stored ones (consecutive failures counted on or reset by
    // `failed`), the row is read back, `finish` sets on it what is not a
    // counter (the forecast, the alerts due) and that is stored. Several
    // collectors can report visits of the same station this way without
    // losing any. The row as stored goes to *stored. False when nothing was
    // stored; *busy then says whether the same visit can be tried again.
    static bool addVisit(int stationId, const StationStats &counts, bool failed,
                         const std::function<void(StationStats &)> &finish, StationStats *stored, bool *busy);
    // Changes what the alerts and the clock setting remember (delivered,
    // pending, the last attempt) in one transaction on the row as stored;
    // false when nothing was stored.
    static bool changeAlerts(int stationId, const std::function<void(StationStats &)> &change,
                             StationStats *stored);
    static bool remove(int stationId);
};
