#include "visitcommits.h"

#include "collectorlogging.h"
#include "databaseconnection.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
const char *const timeFormat = "yyyy-MM-dd hh:mm";
} // namespace

VisitCommits::VisitCommits(const QString &connection)
    : m_connection(connection.isEmpty() ? DatabaseConnection::connectionName() : connection)
{
}

bool VisitCommits::createTable()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    const bool server = QSqlDatabase::database(m_connection).driverName() == QLatin1String("QPSQL");
    // The id stands for the file and its folder in every value row.
    if (q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_commits ("
                              "id %1 PRIMARY KEY, "
                              "station_id INTEGER NOT NULL, file TEXT NOT NULL, destination TEXT NOT NULL, "
                              "commit_no BIGINT NOT NULL, page INTEGER NOT NULL, buffer INTEGER NOT NULL, "
                              "time_base TEXT NOT NULL DEFAULT '', holder TEXT NOT NULL DEFAULT '', "
                              "committed_at TEXT NOT NULL DEFAULT '', "
                              "UNIQUE (station_id, file, destination))")
                   .arg(server ? QStringLiteral("BIGSERIAL") : QStringLiteral("INTEGER"))) &&
        // A file's header once, whichever folder committed it first: not in
        // the commits' rows, which every visit writes again.
        q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_file_headers (station_id INTEGER NOT NULL, "
                              "file TEXT NOT NULL, header TEXT NOT NULL, PRIMARY KEY (station_id, file))")))
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

qint64 VisitCommits::next(const StationValues::Target &target, const ResumePoints::Point &point,
                          const QString &holder, const QByteArray &header, qint64 *previousNumber,
                          ResumePoints::Point *previous, qint64 *id)
{
    // Locked until the commit: another collector's commit of the same file
    // in the same folder waits and then sees this one as its previous.
    if (!last(target, previousNumber, previous, id, true))
        return 0;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral(
        "INSERT INTO station_commits (station_id, file, destination, commit_no, page, buffer, time_base, "
        "holder, committed_at) VALUES (?, ?, ?, 1, ?, ?, ?, ?, ?) "
        "ON CONFLICT (station_id, file, destination) DO UPDATE SET "
        "commit_no = station_commits.commit_no + 1, page = EXCLUDED.page, buffer = EXCLUDED.buffer, "
        "time_base = EXCLUDED.time_base, holder = EXCLUDED.holder, committed_at = EXCLUDED.committed_at "
        "RETURNING commit_no, id"));
    const QLocale c = QLocale::c();
    q.addBindValue(target.stationId);
    q.addBindValue(target.file);
    q.addBindValue(target.destination);
    q.addBindValue(point.page);
    q.addBindValue(point.buffer);
    q.addBindValue(point.timeBase.isValid() ? c.toString(point.timeBase, QLatin1String(timeFormat))
                                            : QStringLiteral(""));
    q.addBindValue(holder.isNull() ? QStringLiteral("") : holder);
    q.addBindValue(c.toString(QDateTime::currentDateTime(), QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (!q.exec() || !q.next()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return 0;
    }
    *id = q.value(1).toLongLong();
    const qint64 number = q.value(0).toLongLong();
    // The file's first commit in this folder keeps its header, unless
    // another folder's did.
    if (*previousNumber == 0 && !header.isEmpty()) {
        QSqlQuery h(QSqlDatabase::database(m_connection));
        h.prepare(
            QStringLiteral("INSERT INTO station_file_headers (station_id, file, header) VALUES (?, ?, ?) "
                           "ON CONFLICT (station_id, file) DO NOTHING"));
        h.addBindValue(target.stationId);
        h.addBindValue(target.file);
        h.addBindValue(QString::fromUtf8(header));
        if (!h.exec()) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(h.lastError().text()));
            return 0;
        }
    }
    return number;
}

bool VisitCommits::last(const StationValues::Target &target, qint64 *number, ResumePoints::Point *point,
                        qint64 *id, bool forUpdate)
{
    *number = 0;
    if (id)
        *id = 0;
    *point = ResumePoints::Point();
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery q(db);
    // SQLite locks the whole file for a writing transaction anyway.
    const bool lockRow = forUpdate && db.driverName() == QLatin1String("QPSQL");
    q.prepare(QStringLiteral("SELECT commit_no, page, buffer, time_base, id FROM station_commits "
                             "WHERE station_id = ? AND file = ? AND destination = ?%1")
                  .arg(lockRow ? QStringLiteral(" FOR UPDATE") : QString()));
    q.addBindValue(target.stationId);
    q.addBindValue(target.file);
    q.addBindValue(target.destination);
    if (!q.exec()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return false;
    }
    if (q.next()) {
        *number = q.value(0).toLongLong();
        point->page = q.value(1).toInt();
        point->buffer = q.value(2).toInt();
        point->timeBase = QLocale::c().toDateTime(q.value(3).toString(), QLatin1String(timeFormat));
        if (id)
            *id = q.value(4).toLongLong();
    }
    return true;
}

bool VisitCommits::parts(int stationId, QList<Part> *parts)
{
    parts->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT c.id, c.file, c.destination, c.commit_no, c.page, c.buffer, "
                             "COALESCE(h.header, '') FROM station_commits c LEFT JOIN station_file_headers h "
                             "ON h.station_id = c.station_id AND h.file = c.file WHERE c.station_id = ? "
                             "ORDER BY c.file, c.id"));
    q.addBindValue(stationId);
    if (!q.exec()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return false;
    }
    while (q.next()) {
        Part p;
        p.id = q.value(0).toLongLong();
        p.file = q.value(1).toString();
        p.destination = q.value(2).toString();
        p.commitNo = q.value(3).toLongLong();
        p.point.page = q.value(4).toInt();
        p.point.buffer = q.value(5).toInt();
        p.header = q.value(6).toString().toUtf8();
        parts->append(p);
    }
    return true;
}
