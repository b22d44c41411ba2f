#pragma once

#include "store/databaseurl.h"
#include "store/resumepoints.h"

#include <QSet>
#include <QString>

#include <memory>

// The resume points of a shared store, for the workers of this process: one
// connection on a thread of its own serves them all, so a thousand stations
// cost the server one connection, and no worker ever waits on the main
// thread. Points that cannot be stored while the server is away are kept,
// in order, and stored when it is back.
class SharedResume
{
public:
    // The process's instance for a PostgreSQL store; null for SQLite (the
    // data files alone say where to resume).
    static SharedResume *instance();
    // Stores what is kept within timeoutMs, then ends the store's thread (at
    // the end of the process).
    static void shutdown(int timeoutMs = 5000);

    ~SharedResume();

    // Where the station's data file of that name resumes according to the
    // store and to the points still waiting to be stored (a point of another
    // memory file means nothing here); an invalid point when neither knows
    // one or the store does not answer in time.
    ResumePoints::Point pointFor(int stationId, const QString &fileName);
    // Stores the point of a save made under lease number `epoch` (0: no
    // lease), in order after the points kept before. Waits for it up to a
    // few seconds while the server answers, so that a station given back
    // after its visit is taken over from this point; while the server is
    // away it is kept and stored later. False when it was kept.
    bool store(int stationId, const ResumePoints::Point &point, const QString &fileName, const QString &holder,
               qint64 epoch);
    // Points not stored yet.
    int keptCount() const;
    // The stations with points not stored yet: their leases are not given
    // back, or another collector would resume behind them.
    QSet<int> keptStations() const;
    // Waits up to timeoutMs for the kept points to be stored; true when none
    // is left.
    bool waitForStored(int timeoutMs);

private:
    explicit SharedResume(const DatabaseUrl &url);

    struct Private;
    std::unique_ptr<Private> d;
};
