#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

// When each collecting process last showed it was alive, in the store's
// collector_heartbeats table: what a server that only serves (and an alert
// on a stale heartbeat) reads of the collectors it does not run itself.
class CollectorHeartbeats
{
public:
    // How often a collector beats.
    static constexpr int periodMs = 30000;

    // Records that collector `id` is alive at `when` (on the named or the
    // default connection); false when the store refuses.
    static bool beat(const QString &id, const QDateTime &when, const QString &connection = QString());
    // Every collector's last heartbeat, oldest id first; empty without the table.
    static QList<QPair<QString, QDateTime>> all(const QString &connection);
};
