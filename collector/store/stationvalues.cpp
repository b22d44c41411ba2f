#include "stationvalues.h"

#include "collectorlogging.h"
#include "databaseconnection.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

namespace {

// Rows a statement inserts at once: few round trips to a server, far below
// its limit on bound values.
constexpr int rowsPerServerStatement = 200;
constexpr int columns = 13;

// Months whose partition this process made or found.
QMutex partitionsMutex;
QSet<QString> &knownPartitions()
{
    static QSet<QString> known;
    return known;
}

bool run(QSqlQuery &q, const QString &statement)
{
    if (q.exec(statement))
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

} // namespace

StationValues::StationValues(const QString &connection)
    : m_connection(connection.isEmpty() ? DatabaseConnection::connectionName() : connection)
{
}

bool StationValues::isPostgres() const
{
    return QSqlDatabase::database(m_connection, false).driverName() == QLatin1String("QPSQL");
}

bool StationValues::createTable()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    const bool pg = isPostgres();
    // The C collation orders the time texts like the times, which the month
    // ranges rely on.
    const QString columnsText =
        QStringLiteral("station_id INTEGER NOT NULL, slot INTEGER NOT NULL, value_type TEXT NOT NULL, "
                       "at TEXT %1 NOT NULL, value TEXT NOT NULL, set_time INTEGER NOT NULL DEFAULT 0, "
                       "channel INTEGER NOT NULL DEFAULT 0, code TEXT NOT NULL DEFAULT '', unit TEXT NOT "
                       "NULL DEFAULT '', "
                       "target BIGINT NOT NULL DEFAULT 0, "
                       "commit_no BIGINT NOT NULL DEFAULT 0, seq INTEGER NOT NULL DEFAULT 0, "
                       "flag SMALLINT NOT NULL DEFAULT 2, "
                       "PRIMARY KEY (station_id, slot, value_type, at)")
            .arg(pg ? QStringLiteral("COLLATE \"C\"") : QString());
    // No index beside the key: every value pays for an index at every
    // commit, and completing a file (rare) finds the station's values by
    // the key's first column.
    return run(q, QStringLiteral("CREATE TABLE IF NOT EXISTS station_values (%1) %2")
                      .arg(columnsText,
                           pg ? QStringLiteral("PARTITION BY RANGE (at)") : QStringLiteral("WITHOUT ROWID")));
}

QString StationValues::partitionName(const QString &at)
{
    // "yyyy-MM..." with digits only: the name is built from it.
    if (at.size() < 7 || at.at(4) != QLatin1Char('-'))
        return QString();
    for (int i : {0, 1, 2, 3, 5, 6})
        if (!at.at(i).isDigit() || at.at(i).unicode() > '9')
            return QString();
    return QStringLiteral("station_values_y%1m%2").arg(at.left(4), at.mid(5, 2));
}

bool StationValues::ensurePartitions(const QList<Value> &values)
{
    if (!isPostgres())
        return true;
    QSet<QString> months;
    for (const Value &v : values)
        months.insert(v.at.left(7));
    QSqlQuery q(QSqlDatabase::database(m_connection));
    for (const QString &month : qAsConst(months)) {
        const QString name = partitionName(month);
        if (name.isEmpty())
            continue;
        {
            QMutexLocker lock(&partitionsMutex);
            if (knownPartitions().contains(name))
                continue;
        }
        const int year = month.left(4).toInt();
        const int m = month.mid(5, 2).toInt();
        const QString next =
            m == 12 ? QStringLiteral("%1-01").arg(year + 1, 4, 10, QLatin1Char('0'))
                    : QStringLiteral("%1-%2").arg(month.left(4)).arg(m + 1, 2, 10, QLatin1Char('0'));
        const QString statement = QStringLiteral("CREATE TABLE IF NOT EXISTS %1 PARTITION OF station_values "
                                                 "FOR VALUES FROM ('%2') TO ('%3')")
                                      .arg(name, month, next);
        // Another collector making the same month at the same moment fails
        // one of the two; the second try finds it made.
        if (!q.exec(statement) && !run(q, statement))
            return false;
        QMutexLocker lock(&partitionsMutex);
        knownPartitions().insert(name);
    }
    return true;
}

void StationValues::forgetPartitions()
{
    QMutexLocker lock(&partitionsMutex);
    knownPartitions().clear();
}

QString StationValues::key(int channel, const QString &type, const QString &at)
{
    return QStringLiteral("%1|%2|%3").arg(channel).arg(type, at);
}

bool StationValues::insert(int stationId, qint64 target, qint64 commit, const QList<Value> &values,
                           QVector<bool> *inserted)
{
    inserted->fill(false, values.size());
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    // The first of two values with one key (a clock set back within the
    // download) is the one kept, as a later download would keep it.
    QHash<QString, int> first;
    QList<int> rows;
    for (int i = 0; i < values.size(); ++i) {
        const Value &v = values.at(i);
        const QString k = key(v.slot, v.type, v.at);
        if (first.contains(k))
            continue;
        first.insert(k, i);
        rows << i;
    }
    if (!isPostgres())
        return insertIntoFile(db, stationId, target, commit, values, rows, inserted);
    const int rowsPerStatement = rowsPerServerStatement;
    // One prepared statement serves every batch of its size.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    int prepared = 0;
    for (int from = 0; from < rows.size(); from += rowsPerStatement) {
        const int count = qMin(rowsPerStatement, int(rows.size()) - from);
        if (count != prepared && !prepareInsert(q, count))
            return false;
        prepared = count;
        for (int i = 0; i < count; ++i) {
            const int index = rows.at(from + i);
            const Value &v = values.at(index);
            q.addBindValue(stationId);
            q.addBindValue(v.slot);
            q.addBindValue(v.type);
            q.addBindValue(v.at);
            q.addBindValue(v.value);
            q.addBindValue(v.setTime ? 1 : 0);
            q.addBindValue(v.channel);
            q.addBindValue(v.code.isNull() ? QStringLiteral("") : v.code);
            q.addBindValue(v.unit.isNull() ? QStringLiteral("") : v.unit);
            q.addBindValue(target);
            q.addBindValue(commit);
            q.addBindValue(index);
            q.addBindValue(int(v.flag));
        }
        static_assert(columns == 13, "one bound value per column");
        if (!q.exec()) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
            return false;
        }
        while (q.next()) {
            const int index =
                first.value(key(q.value(0).toInt(), q.value(1).toString(), q.value(2).toString()), -1);
            if (index >= 0)
                (*inserted)[index] = true;
        }
    }
    return true;
}

bool StationValues::insertIntoFile(const QSqlDatabase &db, int stationId, qint64 target, qint64 commit,
                                   const QList<Value> &values, const QList<int> &rows,
                                   QVector<bool> *inserted)
{
    // SQLite's own interface, on the connection's handle and so inside its
    // transaction: through the driver every bound value costs more than
    // storing it, and a round of thousands of stations stores millions.
    const QVariant handle = db.driver()->handle();
    sqlite3 *file = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
                        ? *static_cast<sqlite3 *const *>(handle.constData())
                        : nullptr;
    if (!file)
        return false;
    sqlite3_stmt *statement = nullptr;
    const char *const text =
        "INSERT INTO station_values (station_id, slot, value_type, at, value, set_time, channel, "
        "code, unit, target, commit_no, seq, flag) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
        "?10, ?11, ?12, ?13) ON CONFLICT DO NOTHING";
    if (sqlite3_prepare_v2(file, text, -1, &statement, nullptr) != SQLITE_OK) {
        qCDebug(lcStore, "Database Error: %s", sqlite3_errmsg(file));
        return false;
    }
    const auto bindText = [statement](int at, const QString &value) {
        const QByteArray utf8 = value.toUtf8();
        return sqlite3_bind_text(statement, at, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
    };
    bool ok = true;
    for (const int index : rows) {
        const Value &v = values.at(index);
        int r = sqlite3_bind_int(statement, 1, stationId);
        r |= sqlite3_bind_int(statement, 2, v.slot);
        r |= bindText(3, v.type);
        r |= bindText(4, v.at);
        r |= bindText(5, v.value);
        r |= sqlite3_bind_int(statement, 6, v.setTime ? 1 : 0);
        r |= sqlite3_bind_int(statement, 7, v.channel);
        r |= bindText(8, v.code);
        r |= bindText(9, v.unit);
        r |= sqlite3_bind_int64(statement, 10, target);
        r |= sqlite3_bind_int64(statement, 11, commit);
        r |= sqlite3_bind_int(statement, 12, index);
        r |= sqlite3_bind_int(statement, 13, v.flag);
        if (r != SQLITE_OK || sqlite3_step(statement) != SQLITE_DONE) {
            qCDebug(lcStore, "Database Error: %s", sqlite3_errmsg(file));
            ok = false;
            break;
        }
        (*inserted)[index] = sqlite3_changes(file) > 0;
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    return ok;
}

bool StationValues::prepareInsert(QSqlQuery &q, int rows)
{
    QString statement =
        QStringLiteral("INSERT INTO station_values (station_id, slot, value_type, at, value, "
                       "set_time, channel, code, unit, target, commit_no, seq, flag) VALUES ");
    const QString row = QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (int i = 0; i < rows; ++i) {
        if (i)
            statement += QLatin1Char(',');
        statement += row;
    }
    statement += QStringLiteral(" ON CONFLICT DO NOTHING RETURNING slot, value_type, at");
    if (q.prepare(statement))
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

bool StationValues::load(int stationId, qint64 target, QList<Value> *values)
{
    values->clear();
    return read(stationId, {target}, false, [values](const Value &v) { values->append(v); });
}

bool StationValues::read(int stationId, const QList<qint64> &targets, bool byTime,
                         const std::function<void(const Value &)> &each)
{
    if (targets.isEmpty())
        return true;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    QStringList marks;
    for (int i = 0; i < targets.size(); ++i)
        marks << QStringLiteral("?");
    q.prepare(
        QStringLiteral(
            "SELECT slot, value_type, at, value, set_time, channel, code, unit, flag FROM station_values "
            "WHERE station_id = ? AND target IN (%1) ORDER BY %2")
            .arg(marks.join(QLatin1Char(',')),
                 byTime ? QStringLiteral("at, target, commit_no, seq") : QStringLiteral("commit_no, seq")));
    q.addBindValue(stationId);
    for (qint64 target : targets)
        q.addBindValue(target);
    if (!q.exec()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return false;
    }
    Value v;
    while (q.next()) {
        v.slot = q.value(0).toInt();
        v.type = q.value(1).toString();
        v.at = q.value(2).toString();
        v.value = q.value(3).toString();
        v.setTime = q.value(4).toInt() != 0;
        v.channel = q.value(5).toInt();
        v.code = q.value(6).toString();
        v.unit = q.value(7).toString();
        v.flag = quint8(q.value(8).toInt());
        each(v);
    }
    return q.lastError().type() == QSqlError::NoError;
}

bool StationValues::series(int stationId, int slot, const QString &type, const QString &from,
                           const QString &to, int around, QList<Value> *values)
{
    values->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    // One statement: the values before, within and after the range, each
    // part along the key (station, slot, type, time).
    const QString part = QStringLiteral("SELECT at, value, flag FROM station_values WHERE station_id = ? AND "
                                        "slot = ? AND value_type = ? AND ");
    const int n = qMax(0, around);
    q.prepare(QStringLiteral("SELECT at, value, flag FROM (%1at < ? ORDER BY at DESC LIMIT %2) b UNION ALL "
                             "%1at >= ? AND at <= ? UNION ALL "
                             "SELECT at, value, flag FROM (%1at > ? ORDER BY at LIMIT %2) a ORDER BY at")
                  .arg(part)
                  .arg(n));
    for (const QString &bound : {from, QString(), to}) {
        q.addBindValue(stationId);
        q.addBindValue(slot);
        q.addBindValue(type);
        if (bound.isNull()) {
            q.addBindValue(from);
            q.addBindValue(to);
        } else {
            q.addBindValue(bound);
        }
    }
    if (!q.exec()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return false;
    }
    while (q.next()) {
        Value v;
        v.slot = slot;
        v.type = type;
        v.at = q.value(0).toString();
        v.value = q.value(1).toString();
        v.flag = quint8(q.value(2).toInt());
        values->append(v);
    }
    return true;
}

bool StationValues::setFlag(int stationId, int slot, const QString &type, const QString &at, quint8 flag)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("UPDATE station_values SET flag = ? WHERE station_id = ? AND slot = ? AND "
                             "value_type = ? AND at = ?"));
    q.addBindValue(int(flag));
    q.addBindValue(stationId);
    q.addBindValue(slot);
    q.addBindValue(type);
    q.addBindValue(at);
    if (q.exec())
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}
