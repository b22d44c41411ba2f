#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

// Each station's values per day and channel, expected by the recording
// intervals and present in its data files, kept in the store so that a
// completeness figure needs no file read. Beside them, how far the counts
// go: per channel the last value counted and its interval, and the data
// file (size, modification time) they were counted up to.
class StationDayCounts
{
public:
    struct Count
    {
        QDate day;
        int channel = 0;
        qint64 expected = 0;
        qint64 present = 0;
    };
    struct Mark
    {
        qint64 lastMinute = 0; // Julian day × 1440 + minute of the day
        int step = 0;          // recording interval in minutes
    };
    struct State
    {
        QString file; // path of the data file counted last
        qint64 size = -1;
        qint64 modified = 0; // ms since the epoch
        QHash<int, Mark> marks;
    };

    static bool createTable();
    // Every station's state, read once at the start.
    static QHash<int, State> loadStates(bool *ok = nullptr);
    // Adds to the counts and records the new state, in one transaction;
    // days before keepFrom (when valid) are dropped.
    static bool add(int stationId, const QVector<Count> &counts, const State &state,
                    const QDate &keepFrom = QDate());
    // Several stations' additions in one transaction (one sync for all).
    struct Addition
    {
        int stationId = 0;
        QVector<Count> counts;
        State state;
        QDate keepFrom;
    };
    static bool addAll(const QList<Addition> &additions);
    // Replaces all of a station's counts and its state (a recount).
    static bool replace(int stationId, const QVector<Count> &counts, const State &state);
    // Sums over the days from `from` on.
    static bool window(int stationId, const QDate &from, qint64 *expected, qint64 *present);
    // Counts of one station, in day then channel order (tests, reports).
    static QVector<Count> counts(int stationId);

private:
    static bool writeState(int stationId, const State &state);
    static bool writeAddition(int stationId, const QVector<Count> &counts, const State &state,
                              const QDate &keepFrom);
};
