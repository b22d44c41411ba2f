#include "stationvisits.h"

#include "databaseconnection.h"

#include "collectorlogging.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char *const timeFormat = "yyyy-MM-dd hh:mm:ss";

QString timeText(const QDateTime &time)
{
    return QLocale::c().toString(time, QLatin1String(timeFormat));
}

QSqlDatabase databaseOf(const QString &connection)
{
    return QSqlDatabase::database(connection.isEmpty() ? DatabaseConnection::connectionName() : connection,
                                  false);
}

bool exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
    return false;
}

} // namespace

bool StationVisits::createTable(const QString &connection)
{
    const QSqlDatabase db = databaseOf(connection);
    const bool server = db.driverName() == QLatin1String("QPSQL");
    // Executed directly: a server cannot prepare table definitions.
    QSqlQuery query(db);
    const QStringList statements{
        QStringLiteral("CREATE TABLE IF NOT EXISTS station_visits (%1, "
                       "station_id INTEGER NOT NULL, "
                       "start_time TEXT NOT NULL, "
                       "end_time TEXT NOT NULL, "
                       "result TEXT NOT NULL, "
                       "reason TEXT NOT NULL DEFAULT (''), "
                       "records BIGINT NOT NULL DEFAULT (0), "
                       "bytes BIGINT NOT NULL DEFAULT (0))")
            .arg(server ? QStringLiteral("id BIGSERIAL PRIMARY KEY")
                        : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")),
        // Every question asks for one station's recent visits.
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS station_visits_station ON station_visits (station_id, end_time)")};
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
            return false;
        }
    }
    return true;
}

bool StationVisits::record(const StationVisit &visit, int keepDays)
{
    QSqlQuery query(DatabaseConnection::database());
    query.prepare(
        QStringLiteral("INSERT INTO station_visits (station_id, start_time, end_time, result, reason, "
                       "records, bytes) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(visit.stationId);
    query.addBindValue(timeText(visit.start));
    query.addBindValue(timeText(visit.end));
    query.addBindValue(visit.result);
    query.addBindValue(visit.reason.isNull() ? QString(QLatin1String("")) : visit.reason);
    query.addBindValue(visit.records);
    query.addBindValue(visit.bytes);
    if (!exec(query))
        return false;
    thread_local QElapsedTimer sincePrune;
    if (!sincePrune.isValid() || sincePrune.elapsed() > 3600 * 1000) {
        sincePrune.start();
        QSqlQuery prune(DatabaseConnection::database());
        prune.prepare(QStringLiteral("DELETE FROM station_visits WHERE end_time < ?"));
        prune.addBindValue(timeText(QDateTime::currentDateTime().addDays(-keepDays)));
        exec(prune);
    }
    return true;
}

QList<StationVisit> StationVisits::select(int stationId, const QDateTime &from, const QDateTime &to,
                                          int limit, const QString &connection, bool *ok)
{
    QList<StationVisit> visits;
    QSqlQuery query(databaseOf(connection));
    // Times are stored as sortable texts: the range is a text range.
    query.prepare(
        QStringLiteral("SELECT start_time, end_time, result, reason, records, bytes FROM station_visits "
                       "WHERE station_id = ? AND end_time >= ? AND end_time <= ? "
                       "ORDER BY end_time DESC, id DESC LIMIT ?"));
    query.addBindValue(stationId);
    query.addBindValue(from.isValid() ? timeText(from) : QStringLiteral("0000"));
    query.addBindValue(to.isValid() ? timeText(to) : QStringLiteral("9999"));
    query.addBindValue(limit);
    *ok = exec(query);
    while (*ok && query.next()) {
        StationVisit v;
        v.stationId = stationId;
        v.start = QLocale::c().toDateTime(query.value(0).toString(), QLatin1String(timeFormat));
        v.end = QLocale::c().toDateTime(query.value(1).toString(), QLatin1String(timeFormat));
        v.result = query.value(2).toString();
        v.reason = query.value(3).toString();
        v.records = query.value(4).toLongLong();
        v.bytes = query.value(5).toLongLong();
        visits.append(v);
    }
    return visits;
}
