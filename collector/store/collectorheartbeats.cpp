#include "collectorheartbeats.h"

#include "collectorlogging.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QSqlDatabase databaseOf(const QString &connection)
{
    return connection.isEmpty() ? QSqlDatabase::database() : QSqlDatabase::database(connection, false);
}

} // namespace

bool CollectorHeartbeats::beat(const QString &id, const QDateTime &when, const QString &connection)
{
    QSqlQuery query(databaseOf(connection));
    // Milliseconds since the epoch: the same in SQLite and PostgreSQL.
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS collector_heartbeats "
                                   "(collector_id TEXT PRIMARY KEY, beat_ms BIGINT NOT NULL)"))) {
        qCDebug(lcStore, "heartbeat table: %s", qUtf8Printable(query.lastError().text()));
        return false;
    }
    query.prepare(QStringLiteral("INSERT INTO collector_heartbeats (collector_id, beat_ms) VALUES (?, ?) "
                                 "ON CONFLICT (collector_id) DO UPDATE SET beat_ms = excluded.beat_ms"));
    query.addBindValue(id);
    query.addBindValue(when.toMSecsSinceEpoch());
    if (!query.exec()) {
        qCDebug(lcStore, "heartbeat: %s", qUtf8Printable(query.lastError().text()));
        return false;
    }
    return true;
}

QList<QPair<QString, QDateTime>> CollectorHeartbeats::all(const QString &connection)
{
    QList<QPair<QString, QDateTime>> out;
    QSqlQuery query(databaseOf(connection));
    if (!query.exec(
            QStringLiteral("SELECT collector_id, beat_ms FROM collector_heartbeats ORDER BY collector_id")))
        return out;
    while (query.next())
        out.append({query.value(0).toString(), QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong())});
    return out;
}
