#include "alarmmails.h"

#include "collectorlogging.h"
#include "databaseconnection.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace {

bool failed(const QSqlQuery &q)
{
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

QString stamp(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

QVariant number(double v)
{
    // No limit (the setting was removed) is stored as none.
    return std::isfinite(v) ? QVariant(v) : QVariant(QVariant::Double);
}

bool kindOf(const QString &name, ValueAlarms::Kind *kind)
{
    for (ValueAlarms::Kind k : {ValueAlarms::Kind::High, ValueAlarms::Kind::Low, ValueAlarms::Kind::Rise})
        if (ValueAlarms::kindName(k) == name) {
            *kind = k;
            return true;
        }
    return false;
}

} // namespace

AlarmMails::AlarmMails(const QString &connection)
    : m_connection(connection.isEmpty() ? DatabaseConnection::connectionName() : connection)
{
}

bool AlarmMails::createTable()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery q(db);
    const bool server = db.driverName() == QLatin1String("QPSQL");
    if (q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS alarm_mails (id %1 PRIMARY KEY, "
                              "station_id INTEGER NOT NULL, slot INTEGER NOT NULL, kind TEXT NOT NULL, "
                              "raised INTEGER NOT NULL, minute BIGINT NOT NULL, value DOUBLE PRECISION, "
                              "limit_value DOUBLE PRECISION, code TEXT NOT NULL DEFAULT '', "
                              "unit TEXT NOT NULL DEFAULT '', created_at TEXT NOT NULL, "
                              "claimed_by TEXT NOT NULL DEFAULT '', claimed_at TEXT NOT NULL DEFAULT '')")
                   .arg(server ? QStringLiteral("BIGSERIAL") : QStringLiteral("INTEGER"))))
        return true;
    return failed(q);
}

bool AlarmMails::add(int stationId, const QList<ChannelChecks::Alarm> &alarms, const QDateTime &now)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("INSERT INTO alarm_mails (station_id, slot, kind, raised, minute, value, "
                             "limit_value, code, unit, created_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const ChannelChecks::Alarm &a : alarms) {
        q.addBindValue(stationId);
        q.addBindValue(a.slot);
        q.addBindValue(ValueAlarms::kindName(a.event.kind));
        q.addBindValue(a.event.raised ? 1 : 0);
        q.addBindValue(a.event.minute);
        q.addBindValue(number(a.event.value));
        q.addBindValue(number(a.event.limit));
        q.addBindValue(a.code);
        q.addBindValue(a.unit);
        q.addBindValue(stamp(now));
        if (!q.exec())
            return failed(q);
    }
    return true;
}

bool AlarmMails::claim(const QString &holder, const QDateTime &now, int staleSeconds, int limit,
                       QList<Mail> *out)
{
    out->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    // The oldest mail of each station, slot and kind only.
    q.prepare(QStringLiteral("SELECT m.id, m.station_id, m.slot, m.kind, m.raised, m.minute, m.value, "
                             "m.limit_value, m.code, m.unit, m.created_at FROM alarm_mails m "
                             "WHERE (m.claimed_by = '' OR m.claimed_at < ?) AND NOT EXISTS (SELECT 1 "
                             "FROM alarm_mails o WHERE o.station_id = m.station_id AND o.slot = m.slot AND "
                             "o.kind = m.kind AND o.id < m.id) ORDER BY m.id LIMIT ?"));
    q.addBindValue(stamp(now.addSecs(-staleSeconds)));
    q.addBindValue(limit);
    if (!q.exec())
        return failed(q);
    QList<Mail> found;
    while (q.next()) {
        Mail m;
        m.id = q.value(0).toLongLong();
        m.stationId = q.value(1).toInt();
        m.alarm.slot = q.value(2).toInt();
        if (!kindOf(q.value(3).toString(), &m.alarm.event.kind))
            continue;
        m.alarm.event.raised = q.value(4).toInt() != 0;
        m.alarm.event.minute = q.value(5).toLongLong();
        m.alarm.event.value = q.value(6).isNull() ? std::nan("") : q.value(6).toDouble();
        m.alarm.event.limit = q.value(7).isNull() ? std::nan("") : q.value(7).toDouble();
        m.alarm.code = q.value(8).toString();
        m.alarm.unit = q.value(9).toString();
        m.created = QDateTime::fromString(q.value(10).toString(), Qt::ISODateWithMs);
        found.append(m);
    }
    q.finish();
    // Taken only if nobody took it meanwhile: of two collectors asking at
    // once, one gets each mail.
    QSqlQuery take(QSqlDatabase::database(m_connection));
    take.prepare(QStringLiteral("UPDATE alarm_mails SET claimed_by = ?, claimed_at = ? WHERE id = ? AND "
                                "(claimed_by = '' OR claimed_at < ?)"));
    for (const Mail &m : qAsConst(found)) {
        take.addBindValue(holder);
        take.addBindValue(stamp(now));
        take.addBindValue(m.id);
        take.addBindValue(stamp(now.addSecs(-staleSeconds)));
        if (!take.exec())
            return failed(take);
        if (take.numRowsAffected() == 1)
            out->append(m);
    }
    return true;
}

bool AlarmMails::release(qint64 id)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("UPDATE alarm_mails SET claimed_by = '', claimed_at = '' WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() || failed(q);
}

bool AlarmMails::remove(qint64 id)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("DELETE FROM alarm_mails WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() || failed(q);
}

int AlarmMails::dropOlderThan(const QDateTime &before)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("DELETE FROM alarm_mails WHERE created_at < ?"));
    q.addBindValue(stamp(before));
    if (!q.exec()) {
        failed(q);
        return -1;
    }
    return q.numRowsAffected();
}
