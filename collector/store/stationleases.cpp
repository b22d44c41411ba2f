#include "stationleases.h"

#include "collectorlogging.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
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

QList<int> ids(QSqlQuery &query, QHash<int, qint64> *epochs = nullptr)
{
    QList<int> out;
    while (query.next()) {
        out << query.value(0).toInt();
        if (epochs)
            epochs->insert(out.last(), query.value(1).toLongLong());
    }
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
           // Stores made before leases were numbered get the column.
           exec(query, QStringLiteral("ALTER TABLE station_leases ADD COLUMN IF NOT EXISTS "
                                      "epoch BIGINT NOT NULL DEFAULT 0")) &&
           exec(query, QStringLiteral("CREATE TABLE IF NOT EXISTS collectors ("
                                      "holder TEXT PRIMARY KEY, "
                                      "expires_at TIMESTAMPTZ NOT NULL)"));
}

QSet<int> StationLeases::renew(const QList<int> &wanted, const QSet<int> &keep, bool *ok, bool take,
                               QHash<int, qint64> *epochs)
{
    *ok = false;
    QHash<int, qint64> numbers;
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
    if (!exec(q,
              QStringLiteral("INSERT INTO collectors(holder, expires_at) VALUES(?, now() + ?::interval) "
                             "ON CONFLICT (holder) DO UPDATE SET expires_at = EXCLUDED.expires_at"),
              {m_holder, lease + QStringLiteral(" seconds")}) ||
        !exec(q, QStringLiteral("SELECT count(*) FROM collectors WHERE expires_at > now()")) || !q.next())
        return fail();
    const int live = std::max(1, q.value(0).toInt());
    const int share = (int(wanted.size()) + live - 1) / live;

    // Every wanted station has a row to lock; new ones start free.
    if (!exec(q,
              QStringLiteral("INSERT INTO station_leases(station_id, holder, expires_at) "
                             "SELECT x, '', 'epoch' FROM unnest(?::int[]) AS x ON CONFLICT DO NOTHING"),
              {all}))
        return fail();

    // Extend what we hold and still want; what is no longer wanted goes back.
    if (!exec(q,
              QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' "
                             "WHERE holder = ? AND NOT (station_id = ANY(?::int[]))"),
              {m_holder, all}) ||
        !exec(q,
              QStringLiteral("UPDATE station_leases SET expires_at = now() + ?::interval "
                             "WHERE holder = ? RETURNING station_id, epoch"),
              {lease + QStringLiteral(" seconds"), m_holder}))
        return fail();
    QList<int> mine = ids(q, &numbers);
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
            !exec(q,
                  QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' "
                                 "WHERE holder = ? AND station_id = ANY(?::int[])"),
                  {m_holder, intArray(excess)}))
            return fail();
        for (int id : qAsConst(excess))
            mine.removeOne(id);
    } else if (mine.size() < share) {
        // Free or expired stations, skipping those another collector is
        // taking at this moment.
        if (!exec(q,
                  QStringLiteral("SELECT station_id FROM station_leases "
                                 "WHERE station_id = ANY(?::int[]) AND holder <> ? AND expires_at < now() "
                                 "ORDER BY station_id LIMIT ? FOR UPDATE SKIP LOCKED"),
                  {all, m_holder, share - int(mine.size())}))
            return fail();
        const QList<int> taken = ids(q);
        if (!taken.isEmpty()) {
            // A new holder, a new number: writes under the old one now fail.
            if (!exec(
                    q,
                    QStringLiteral("UPDATE station_leases SET holder = ?, expires_at = now() + ?::interval, "
                                   "epoch = epoch + 1 WHERE station_id = ANY(?::int[]) "
                                   "RETURNING station_id, epoch"),
                    {m_holder, lease + QStringLiteral(" seconds"), intArray(taken)}))
                return fail();
            ids(q, &numbers);
        }
        mine += taken;
    }
    if (!db.commit())
        return fail();
    *ok = true;
    if (epochs) {
        epochs->clear();
        for (int id : qAsConst(mine))
            epochs->insert(id, numbers.value(id));
    }
    return QSet<int>(mine.cbegin(), mine.cend());
}

StationLeases::Confirmation StationLeases::confirm(int stationId, qint64 epoch, QString *holderNow)
{
    if (epoch <= 0) {
        // Without a lease: while nobody else holds one.
        QString holder;
        if (!currentHolder(stationId, &holder))
            return Unanswered;
        if (holder.isEmpty() || holder == m_holder)
            return Confirmed;
        if (holderNow)
            *holderNow = holder;
        return Lost;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection));
    // Still ours under the same number, expired or not: nobody else can have
    // visited it without taking it first.
    if (!exec(q,
              QStringLiteral("UPDATE station_leases SET expires_at = now() + ?::interval "
                             "WHERE station_id = ? AND holder = ? AND epoch = ? RETURNING station_id"),
              {QString::number(m_leaseSeconds) + QStringLiteral(" seconds"), stationId, m_holder, epoch}))
        return Unanswered;
    if (q.next())
        return Confirmed;
    QString holder;
    if (!currentHolder(stationId, &holder))
        return Unanswered;
    if (holderNow)
        *holderNow = holder;
    return Lost;
}

bool StationLeases::currentHolder(int stationId, QString *holder)
{
    holder->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (!exec(q,
              QStringLiteral("SELECT holder FROM station_leases WHERE station_id = ? AND expires_at > now()"),
              {stationId}))
        return false;
    if (q.next())
        *holder = q.value(0).toString();
    return true;
}

QString StationLeases::fenceCondition(qint64 epoch)
{
    if (epoch > 0)
        return QStringLiteral("EXISTS (SELECT 1 FROM station_leases WHERE station_id = ? AND holder = ? "
                              "AND epoch = ?)");
    return QStringLiteral("NOT EXISTS (SELECT 1 FROM station_leases WHERE station_id = ? AND holder <> '' "
                          "AND holder <> ? AND expires_at > now())");
}

QVariantList StationLeases::fenceValues(int stationId, const QString &holder, qint64 epoch)
{
    QVariantList values{stationId, holder};
    if (epoch > 0)
        values << epoch;
    return values;
}

bool StationLeases::release(const QList<int> &stationIds)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return exec(q,
                QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' "
                               "WHERE holder = ? AND station_id = ANY(?::int[])"),
                {m_holder, intArray(stationIds)});
}

bool StationLeases::releaseAll(const QList<int> &keep)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return exec(q,
                QStringLiteral("UPDATE station_leases SET holder = '', expires_at = 'epoch' WHERE holder = ? "
                               "AND NOT (station_id = ANY(?::int[]))"),
                {m_holder, intArray(keep)}) &&
           exec(q, QStringLiteral("DELETE FROM collectors WHERE holder = ?"), {m_holder});
}
