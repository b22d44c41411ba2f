#pragma once

#include "store/databaseurl.h"
#include "store/resumepoints.h"

#include <QString>

#include <memory>

// The resume points of a shared store, for the workers of this process: one
// connection on a thread of its own serves them all, so a thousand stations
// cost the server one connection, and no worker ever waits on the main
// thread.
class SharedResume
{
public:
    // The process's instance for a PostgreSQL store; null for SQLite (the
    // data files alone say where to resume).
    static SharedResume *instance();
    // Ends the store's thread (at the end of the process).
    static void shutdown();

    ~SharedResume();

    // The stored point of the station when it belongs to the data file of
    // that name (a point of another memory file means nothing here); an
    // invalid point otherwise, or when the store does not answer in time.
    ResumePoints::Point pointFor(int stationId, const QString &fileName);
    bool store(int stationId, const ResumePoints::Point &point, const QString &fileName);

private:
    explicit SharedResume(const DatabaseUrl &url);

    struct Private;
    std::unique_ptr<Private> d;
};
