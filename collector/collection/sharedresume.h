#pragma once

#include "store/databaseurl.h"
#include "store/resumepoints.h"

#include <QString>

#include <memory>

// A worker's own connection to a shared store for its station's resume
// point: opened on the worker's thread, closed with it.
class SharedResume
{
public:
    // Only for a PostgreSQL store; null otherwise (the data files alone say
    // where to resume).
    static std::unique_ptr<SharedResume> open(const DatabaseUrl &url, int stationId);
    ~SharedResume();

    // The stored point when it belongs to the data file of that name (a
    // point of another memory file means nothing here); invalid otherwise.
    ResumePoints::Point pointFor(const QString &fileName);
    bool store(const ResumePoints::Point &point, const QString &fileName);

private:
    SharedResume(const QString &connection, int stationId);

    QString m_connection;
    int m_stationId;
};
