#include "confighistory.h"

#include "databaseconnection.h"

#include "collectorlogging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QString timeText(const QDateTime &t)
{
    return QLocale::c().toString(t, timeFormat);
}

QDateTime timeOf(const QVariant &v)
{
    return QLocale::c().toDateTime(v.toString(), timeFormat);
}

QString jsonText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Stored text is untrusted: anything that is not an object reads as empty.
QJsonObject objectOf(const QVariant &v)
{
    const QJsonDocument d = QJsonDocument::fromJson(v.toString().toUtf8());
    return d.isObject() ? d.object() : QJsonObject();
}

void logFailure(const QSqlQuery &q)
{
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
}

} // namespace

ConfigHistory::ConfigHistory(const QString &connection)
    : m_connection(connection.isEmpty() ? DatabaseConnection::connectionName() : connection)
{
}

bool ConfigHistory::createTable()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    const bool server = db.driverName() == QLatin1String("QPSQL");
    QSqlQuery q(db);
    const bool made =
        q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_config (%1, "
                              "station_id INTEGER NOT NULL, "
                              "first_seen TEXT NOT NULL, "
                              "last_seen TEXT NOT NULL, "
                              "source TEXT NOT NULL, "
                              "actor TEXT NOT NULL DEFAULT (''), "
                              "records TEXT NOT NULL, "
                              "hash TEXT NOT NULL, "
                              "meant TEXT NOT NULL DEFAULT (''), "
                              "outcome TEXT NOT NULL DEFAULT (''), "
                              "unexplained INTEGER NOT NULL DEFAULT (0))")
                   .arg(server ? QStringLiteral("id SERIAL PRIMARY KEY")
                               : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT"))) &&
        q.exec(QStringLiteral(
            "CREATE INDEX IF NOT EXISTS station_config_station ON station_config (station_id, id)"));
    if (!made)
        logFailure(q);
    return made;
}

bool ConfigHistory::insert(const Entry &e)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(
        QStringLiteral("INSERT INTO station_config (station_id, first_seen, last_seen, source, actor, "
                       "records, hash, meant, outcome, unexplained) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(e.stationId);
    q.addBindValue(timeText(e.firstSeen));
    q.addBindValue(timeText(e.lastSeen));
    q.addBindValue(e.source);
    q.addBindValue(e.actor.isNull() ? QString(QLatin1String("")) : e.actor);
    q.addBindValue(jsonText(e.records.toJson()));
    q.addBindValue(e.records.hash());
    q.addBindValue(e.meant.isEmpty() ? QString(QLatin1String("")) : jsonText(e.meant.toJson()));
    q.addBindValue(e.outcome.isEmpty() ? QString(QLatin1String("")) : jsonText(e.outcome));
    q.addBindValue(e.unexplained ? 1 : 0);
    if (!q.exec()) {
        logFailure(q);
        return false;
    }
    return true;
}

bool ConfigHistory::recordRead(int stationId, const QString &source, const QString &actor,
                               const ConfigSnapshot &read, const QDateTime &when,
                               QList<ConfigChange> *changes, bool unexplained)
{
    if (changes)
        changes->clear();
    if (read.isEmpty())
        return true;
    QList<Entry> all;
    if (!entries(stationId, &all))
        return false;
    // What the device is known to hold: each record as last seen.
    ConfigSnapshot known;
    for (const Entry &e : qAsConst(all))
        known = known.mergedWith(e.records);
    const QList<ConfigChange> diff = ConfigSnapshot::diff(known, read);
    if (!all.isEmpty() && diff.isEmpty() && known.only(read.present()) == read) {
        const Entry &last = all.last();
        QSqlQuery q(QSqlDatabase::database(m_connection));
        q.prepare(QStringLiteral("UPDATE station_config SET last_seen = ? WHERE id = ?"));
        q.addBindValue(timeText(when));
        q.addBindValue(last.id);
        if (!q.exec()) {
            logFailure(q);
            return false;
        }
        return true;
    }
    if (changes)
        *changes = diff;
    Entry e;
    e.stationId = stationId;
    e.firstSeen = when;
    e.lastSeen = when;
    e.source = source;
    e.actor = actor;
    e.records = read;
    e.unexplained = unexplained && !diff.isEmpty();
    return insert(e);
}

bool ConfigHistory::recordUpload(int stationId, const QString &source, const QString &actor,
                                 const UploadCheck &check, const QDateTime &when)
{
    Entry e;
    e.stationId = stationId;
    e.firstSeen = when;
    e.lastSeen = when;
    e.source = source;
    e.actor = actor;
    e.records = check.readBack();
    e.meant = check.meant();
    e.outcome = check.toJson();
    return insert(e);
}

bool ConfigHistory::entries(int stationId, QList<Entry> *out) const
{
    out->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(
        QStringLiteral("SELECT id, first_seen, last_seen, source, actor, records, hash, meant, outcome, "
                       "unexplained FROM station_config WHERE station_id = ? ORDER BY id"));
    q.addBindValue(stationId);
    if (!q.exec()) {
        logFailure(q);
        return false;
    }
    while (q.next()) {
        Entry e;
        e.id = q.value(0).toLongLong();
        e.stationId = stationId;
        e.firstSeen = timeOf(q.value(1));
        e.lastSeen = timeOf(q.value(2));
        e.source = q.value(3).toString();
        e.actor = q.value(4).toString();
        e.records = ConfigSnapshot::fromJson(objectOf(q.value(5)));
        e.hash = q.value(6).toString();
        e.meant = ConfigSnapshot::fromJson(objectOf(q.value(7)));
        e.outcome = objectOf(q.value(8));
        e.unexplained = q.value(9).toInt() != 0;
        out->append(e);
    }
    return true;
}

bool ConfigHistory::latest(int stationId, Entry *out, bool *found) const
{
    // Few rows per station; the whole list keeps one reading path.
    QList<Entry> all;
    if (!entries(stationId, &all))
        return false;
    *found = !all.isEmpty();
    if (*found)
        *out = all.last();
    return true;
}

QHash<int, qint64> ConfigHistory::unexplainedCounts() const
{
    QHash<int, qint64> counts;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (!q.exec(QStringLiteral("SELECT station_id, COUNT(*) FROM station_config WHERE unexplained <> 0 "
                               "GROUP BY station_id"))) {
        logFailure(q);
        return counts;
    }
    while (q.next())
        counts.insert(q.value(0).toInt(), q.value(1).toLongLong());
    return counts;
}

QList<ConfigChange> ConfigHistory::changesOf(const QList<Entry> &entries, int index)
{
    if (index <= 0 || index >= entries.size())
        return {};
    // Against the newest earlier entry holding each record.
    ConfigSnapshot before;
    for (int i = 0; i < index; ++i)
        before = before.mergedWith(entries.at(i).records);
    return ConfigSnapshot::diff(before, entries.at(index).records);
}

QJsonObject ConfigHistory::toJson(const QString &code, const QList<Entry> &entries)
{
    QJsonArray list;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry &e = entries.at(i);
        QJsonArray changes;
        for (const ConfigChange &c : changesOf(entries, i)) {
            changes.append(
                QJsonObject{{"record", c.record}, {"field", c.field}, {"from", c.from}, {"to", c.to}});
        }
        QJsonObject item{{"time", timeText(e.firstSeen)},
                         {"lastSeen", timeText(e.lastSeen)},
                         {"source", e.source},
                         {"actor", e.actor},
                         {"changes", changes}};
        if (e.isUpload())
            item.insert(QStringLiteral("confirmed"), e.outcome);
        if (e.unexplained)
            item.insert(QStringLiteral("unexplained"), true);
        list.append(item);
    }
    return QJsonObject{{"code", code}, {"entries", list}};
}

QString ConfigHistory::localActor()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
#ifdef Q_OS_UNIX
    if (user.isEmpty()) {
        if (const passwd *entry = ::getpwuid(::getuid()))
            user = QString::fromLocal8Bit(entry->pw_name);
    }
#endif
    if (user.isEmpty())
        user = QStringLiteral("unknown");
    return QStringLiteral("%1@%2").arg(user, QSysInfo::machineHostName());
}
