#include "resumepoints.h"

#include "databaseconnection.h"

#include "collectorlogging.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
const char *const timeFormat = "yyyy-MM-dd hh:mm";
} // namespace

ResumePoints::ResumePoints(const QString &connection)
    : m_connection(connection.isEmpty() ? DatabaseConnection::connectionName() : connection)
{
}

bool ResumePoints::createTable()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    const bool made = q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_resume ("
                                            "station_id INTEGER PRIMARY KEY, "
                                            "page INTEGER NOT NULL, "
                                            "buffer INTEGER NOT NULL, "
                                            "time_base TEXT NOT NULL DEFAULT (''), "
                                            "file TEXT NOT NULL DEFAULT (''), "
                                            "saved_at TEXT NOT NULL DEFAULT (''), "
                                            "epoch BIGINT NOT NULL DEFAULT (0))")) &&
                      // Stores made before leases were numbered (only ever on a server).
                      (!isPostgres() || hasEpoch(q) ||
                       q.exec(QStringLiteral("ALTER TABLE station_resume ADD COLUMN IF NOT EXISTS "
                                             "epoch BIGINT NOT NULL DEFAULT 0")));
    if (made)
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

ResumePoints::Outcome ResumePoints::store(int stationId, const Point &point, const QString &file,
                                          const QString &holder, qint64 epoch)
{
    // Without its base a point would date every later value wrongly.
    if (!point.timeBase.isValid())
        return Refused;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    // Without a lease: the station's current number, unless another
    // collector holds it now. A store without leases numbers nothing.
    const bool leases = isPostgres();
    const QString number =
        epoch > 0 || !leases
            ? QStringLiteral("CAST(? AS BIGINT)")
            : QStringLiteral("(CASE WHEN EXISTS (SELECT 1 FROM station_leases WHERE station_id = ? "
                             "AND holder <> '' AND holder <> ? AND expires_at > now()) THEN -1 ELSE "
                             "COALESCE((SELECT epoch FROM station_leases WHERE station_id = ?), 0) END)");
    q.prepare(QStringLiteral(
                  "INSERT INTO station_resume(station_id, page, buffer, time_base, file, saved_at, epoch) "
                  "SELECT ?, ?, ?, ?, ?, ?, n FROM (SELECT %1 AS n) AS lease WHERE n >= 0 "
                  "ON CONFLICT (station_id) DO UPDATE SET "
                  "page = EXCLUDED.page, buffer = EXCLUDED.buffer, time_base = EXCLUDED.time_base, "
                  "file = EXCLUDED.file, saved_at = EXCLUDED.saved_at, epoch = EXCLUDED.epoch "
                  "WHERE EXCLUDED.epoch >= station_resume.epoch AND (station_resume.file <> EXCLUDED.file "
                  "OR CAST(station_resume.page AS BIGINT) * 512 + station_resume.buffer <= "
                  "CAST(EXCLUDED.page AS BIGINT) * 512 + EXCLUDED.buffer)")
                  .arg(number));
    const QLocale c = QLocale::c();
    q.addBindValue(stationId);
    q.addBindValue(point.page);
    q.addBindValue(point.buffer);
    q.addBindValue(c.toString(point.timeBase, QLatin1String(timeFormat)));
    q.addBindValue(file.isNull() ? QString(QLatin1String("")) : file);
    q.addBindValue(c.toString(QDateTime::currentDateTime(), QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (epoch > 0 || !leases) {
        q.addBindValue(qMax<qint64>(0, epoch));
    } else {
        q.addBindValue(stationId);
        q.addBindValue(holder.isNull() ? QString(QLatin1String("")) : holder);
        q.addBindValue(stationId);
    }
    if (!q.exec()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return Failed;
    }
    return q.numRowsAffected() > 0 ? Stored : Refused;
}

bool ResumePoints::hasEpoch(QSqlQuery &q)
{
    // Asked first: altering the table locks it against every collector's
    // visits, at each start.
    return q.exec(
               QStringLiteral("SELECT 1 FROM information_schema.columns WHERE table_name = 'station_resume' "
                              "AND column_name = 'epoch' AND table_schema = current_schema()")) &&
           q.next();
}

bool ResumePoints::isPostgres() const
{
    return QSqlDatabase::database(m_connection, false).driverName() == QLatin1String("QPSQL");
}

bool ResumePoints::load(int stationId, Point *point, QString *file)
{
    *point = Point();
    if (file)
        file->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(
        QStringLiteral("SELECT page, buffer, time_base, file FROM station_resume WHERE station_id = ?"));
    q.addBindValue(stationId);
    if (!q.exec()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return false;
    }
    if (q.next()) {
        point->page = q.value(0).toInt();
        point->buffer = q.value(1).toInt();
        point->timeBase = QLocale::c().toDateTime(q.value(2).toString(), QLatin1String(timeFormat));
        if (file)
            *file = q.value(3).toString();
    }
    return true;
}
