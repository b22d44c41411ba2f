#include "resumepoints.h"

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
    : m_connection(connection.isEmpty() ? QString::fromLatin1(QSqlDatabase::defaultConnection) : connection)
{
}

bool ResumePoints::createTable()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_resume ("
                              "station_id INTEGER PRIMARY KEY, "
                              "page INTEGER NOT NULL, "
                              "buffer INTEGER NOT NULL, "
                              "time_base TEXT NOT NULL DEFAULT (''), "
                              "file TEXT NOT NULL DEFAULT (''), "
                              "saved_at TEXT NOT NULL DEFAULT (''))")))
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

bool ResumePoints::store(int stationId, const Point &point, const QString &file)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    // Both stores know this upsert.
    q.prepare(QStringLiteral("INSERT INTO station_resume(station_id, page, buffer, time_base, file, saved_at) "
                             "VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT (station_id) DO UPDATE SET "
                             "page = EXCLUDED.page, buffer = EXCLUDED.buffer, time_base = EXCLUDED.time_base, "
                             "file = EXCLUDED.file, saved_at = EXCLUDED.saved_at"));
    const QLocale c = QLocale::c();
    q.addBindValue(stationId);
    q.addBindValue(point.page);
    q.addBindValue(point.buffer);
    q.addBindValue(point.timeBase.isValid() ? c.toString(point.timeBase, QLatin1String(timeFormat))
                                            : QString(QLatin1String("")));
    q.addBindValue(file.isNull() ? QString(QLatin1String("")) : file);
    q.addBindValue(c.toString(QDateTime::currentDateTime(), QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (q.exec())
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

bool ResumePoints::load(int stationId, Point *point, QString *file)
{
    *point = Point();
    if (file)
        file->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT page, buffer, time_base, file FROM station_resume WHERE station_id = ?"));
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
