#include "stationleases.h"

#include "collectorlogging.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

// A PostgreSQL array literal: QPSQL binds no lists, the statement casts it.
QString intArray(const QList<int> &ids)
{
    QStringList parts;
    parts.reserve(ids.size());
    for (int id : ids)
        parts << QString::number(id);
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

bool exec(QSqlQuery &query, const QString &statement, const QVariantList &values = {})
{
    bool done = false;
    if (values.isEmpty()) {
        // The server prepares no DDL.
        done = query.exec(statement);
    } else {
        query.prepare(statement);
        for (const QVariant &v : values)
            query.addBindValue(v);
        done = query.exec();
    }
    if (done)
        return true;
    qCDebug(lcStore, "Lease statement failed: %s (%s)", qUtf8Printable(query.lastError().text()),
            qUtf8Printable(statement));
    return false;
}

QList<int> ids(QSqlQuery &query)
{
    QList<int> out;
    while (query.next())
        out << query.value(0).toInt();
    return out;
}

} // namespace

StationLeases::StationLeases(const QString &holder, int leaseSeconds, const QString &connection)
    : m_holder(holder), m_leaseSeconds(leaseSeconds),
      m_connection(connection.isEmpty() ? QString::fromLatin1(QSqlDatabase::defaultConnection) : connection)
{
}

QString StationLeases::defaultHolder()
{
    return QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
}

bool StationLeases::createTables()
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    return exec(query, QStringLiteral("CREATE TABLE IF NOT EXISTS station_leases ("
                                      "station_id INTEGER PRIMARY KEY, "
                                      "holder TEXT NOT NULL, "
                                      "expires_at TIMESTAMPTZ NOT NULL)")) &&
           exec(query, QStringLiteral("CREATE TABLE IF NOT EXISTS collectors ("
                                      "holder TEXT PRIMARY KEY, "
                                      "expires_at TIMESTAMPTZ NOT NULL)"));
}

QSet<int> StationLeases::renew(const QList<int> &wanted, const QSet<int> &keep, bool *ok, bool take)
{
    *ok = false;
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction())
        return {};
    QSqlQuery q(db);
    const QString lease = QString::number(m_leaseSeconds);
    const QString all = intArray(wanted);
    auto fail = [&]() {
        db.rollback();
        return QSet<int>();
    };

    // Alive, and how many of us are.
    if (!exec(q, QStringLiteral("INSERT INTO collectors(holder, expires_at) VALUES(?, now() + ?::interval) "
                                "ON CONFLICT (holder) DO UPDATE SET expires_at = EXCLUDED.expires_at"),
              {m_holder, lease + QStringLiteral(" seconds")}) ||
        !exec(q, QStringLiteral("SELECT count(*) FROM collectors WHERE expires_at > now()")) || !q.next())
        return fail();
    const int live = std::max(1, q.value(0).toInt());
    const int share = (int(wanted.size()) + live - 1) / live;

    // Every wanted station has a row to lock; new ones start free.
    if (!exec(q, QStringLiteral("INSERT INTO station_leases(station_id, holder, expires_at) "
                                "SELECT x, '', 'epoch' FROM unnest(?::int[]) AS x ON CONFLICT DO NOTHING"),
              {all}))
        return fail();

    // Extend what we hold and still want; what is no longer wanted goes back.
    if (!exec(q, QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' "
                                "WHERE holder = ? AND NOT (station_id = ANY(?::int[]))"),
              {m_holder, all}) ||
        !exec(q, QStringLiteral("UPDATE station_leases SET expires_at = now() + ?::interval "
                                "WHERE holder = ? RETURNING station_id"),
              {lease + QStringLiteral(" seconds"), m_holder}))
        return fail();
    QList<int> mine = ids(q);
    std::sort(mine.begin(), mine.end());

    if (!take) {
        // Holding on: --once visits what it took at its start, all of it.
    } else if (mine.size() > share) {
        // Beyond our share: give back the highest ids not in a visit, so a
        // collector that joined can take them.
        QList<int> excess;
        for (auto it = mine.crbegin(); it != mine.crend() && mine.size() - excess.size() > share; ++it)
            if (!keep.contains(*it))
                excess << *it;
        if (!excess.isEmpty() &&
            !exec(q, QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' "
                                    "WHERE holder = ? AND station_id = ANY(?::int[])"),
                  {m_holder, intArray(excess)}))
            return fail();
        for (int id : qAsConst(excess))
            mine.removeOne(id);
    } else if (mine.size() < share) {
        // Free or expired stations, skipping those another collector is
        // taking at this moment.
        if (!exec(q, QStringLiteral("SELECT station_id FROM station_leases "
                                    "WHERE station_id = ANY(?::int[]) AND holder <> ? AND expires_at < now() "
                                    "ORDER BY station_id LIMIT ? FOR UPDATE SKIP LOCKED"),
                  {all, m_holder, share - int(mine.size())}))
            return fail();
        const QList<int> taken = ids(q);
        if (!taken.isEmpty() &&
            !exec(q, QStringLiteral("UPDATE station_leases SET holder = ?, expires_at = now() + ?::interval "
                                    "WHERE station_id = ANY(?::int[])"),
                  {m_holder, lease + QStringLiteral(" seconds"), intArray(taken)}))
            return fail();
        mine += taken;
    }
    if (!db.commit())
        return fail();
    *ok = true;
    return QSet<int>(mine.cbegin(), mine.cend());
}

bool StationLeases::release(const QList<int> &stationIds)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return exec(q, QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' "
                                  "WHERE holder = ? AND station_id = ANY(?::int[])"),
                {m_holder, intArray(stationIds)});
}

bool StationLeases::releaseAll()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return exec(q, QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' WHERE holder = ?"),
                {m_holder}) &&
           exec(q, QStringLiteral("DELETE FROM collectors WHERE holder = ?"), {m_holder});
}
