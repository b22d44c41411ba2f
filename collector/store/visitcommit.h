#pragma once

#include "store/channelchecks.h"
#include "store/resumepoints.h"
#include "store/stationvalues.h"

#include <QList>
#include <QString>
#include <QVector>

// What one visit commits, in one transaction: its new values (those the
// store lacks), the resume point after them and, on a shared store, the
// check that the lease the visit ran under is still this collector's. All
// of it or nothing: a collector that lost its lease or whose store fails
// has saved nothing, and the holder downloads those values.
struct VisitCommit
{
    enum Result { Committed, Lost, Failed };
    struct Outcome
    {
        Result result = Failed;
        // Who holds the station now, when it was lost (empty: nobody).
        QString holderNow;
        // Which of the values were new to the store.
        QVector<bool> inserted;
        // The target's commit before this one (number 0: none): the point
        // its data file holds when it has every value committed before.
        qint64 previousNumber = 0;
        ResumePoints::Point previous;
        // The value alarms the commit raised or cleared.
        QList<ChannelChecks::Alarm> alarms;
        QString error;
    };

    StationValues::Target target;
    ResumePoints::Point point;
    // The collector's name and the lease number (0: a visit without a
    // lease); leaseSeconds > 0 when the store keeps leases.
    QString holder;
    qint64 epoch = 0;
    int leaseSeconds = 0;
    QList<StationValues::Value> values;
    // The data file's header element, kept with the file's first commit.
    QByteArray header;

    Outcome run(const QString &connection) const;
};
