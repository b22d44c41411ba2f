#include "stationdaycounts.h"

#include "databaseconnection.h"

#include "collectorlogging.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char *const dayFormat = "yyyy-MM-dd";

QString dayText(const QDate &day)
{
    return day.toString(QLatin1String(dayFormat));
}

bool exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
    return false;
}

// Runs `work` in one transaction; false (rolled back) when any step fails.
template<typename F> bool inTransaction(F work)
{
    QSqlDatabase db = DatabaseConnection::database();
    if (!db.transaction())
        return false;
    if (!work() || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

// The row of channel -1 holds the file the counts reach.
constexpr int fileRow = -1;

} // namespace

bool StationDayCounts::createTable()
{
    QSqlQuery query(DatabaseConnection::database());
    const bool ok = query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_day_counts ("
                                              "station_id INTEGER NOT NULL, "
                                              "day TEXT NOT NULL, "
                                              "channel INTEGER NOT NULL, "
                                              "expected BIGINT NOT NULL DEFAULT (0), "
                                              "present BIGINT NOT NULL DEFAULT (0), "
                                              "PRIMARY KEY (station_id, day, channel))")) &&
                    query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_count_marks ("
                                              "station_id INTEGER NOT NULL, "
                                              "channel INTEGER NOT NULL, "
                                              "last_minute BIGINT NOT NULL DEFAULT (0), "
                                              "step INTEGER NOT NULL DEFAULT (0), "
                                              "file TEXT NOT NULL DEFAULT (''), "
                                              "file_size BIGINT NOT NULL DEFAULT (-1), "
                                              "file_modified BIGINT NOT NULL DEFAULT (0), "
                                              "PRIMARY KEY (station_id, channel))"));
    if (!ok)
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
    return ok;
}

QHash<int, StationDayCounts::State> StationDayCounts::loadStates(bool *ok)
{
    QHash<int, State> states;
    QSqlQuery query(DatabaseConnection::database());
    query.setForwardOnly(true);
    const bool read = query.exec(QStringLiteral("SELECT station_id, channel, last_minute, step, file, "
                                                "file_size, file_modified FROM station_count_marks"));
    if (ok)
        *ok = read;
    if (!read) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
        return states;
    }
    while (query.next()) {
        State &state = states[query.value(0).toInt()];
        const int channel = query.value(1).toInt();
        if (channel == fileRow) {
            state.file = query.value(4).toString();
            state.size = query.value(5).toLongLong();
            state.modified = query.value(6).toLongLong();
        } else {
            state.marks.insert(channel, {query.value(2).toLongLong(), query.value(3).toInt()});
        }
    }
    return states;
}

bool StationDayCounts::writeState(int stationId, const State &state)
{
    QSqlQuery remove(DatabaseConnection::database());
    remove.prepare(QStringLiteral("DELETE FROM station_count_marks WHERE station_id = ?"));
    remove.addBindValue(stationId);
    if (!exec(remove))
        return false;
    QSqlQuery insert(DatabaseConnection::database());
    insert.prepare(QStringLiteral("INSERT INTO station_count_marks "
                                  "(station_id, channel, last_minute, step, file, file_size, file_modified) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const auto row = [&](int channel, const Mark &mark, const QString &file, qint64 size, qint64 modified) {
        insert.addBindValue(stationId);
        insert.addBindValue(channel);
        insert.addBindValue(mark.lastMinute);
        insert.addBindValue(mark.step);
        // A null text would be bound as NULL.
        insert.addBindValue(file.isNull() ? QString(QLatin1String("")) : file);
        insert.addBindValue(size);
        insert.addBindValue(modified);
        return exec(insert);
    };
    if (!row(fileRow, Mark(), state.file, state.size, state.modified))
        return false;
    for (auto it = state.marks.constBegin(); it != state.marks.constEnd(); ++it)
        if (!row(it.key(), it.value(), QString(), -1, 0))
            return false;
    return true;
}

bool StationDayCounts::writeAddition(int stationId, const QVector<Count> &counts, const State &state,
                                     const QDate &keepFrom)
{
    if (keepFrom.isValid()) {
        QSqlQuery old(DatabaseConnection::database());
        old.prepare(QStringLiteral("DELETE FROM station_day_counts WHERE station_id = ? AND day < ?"));
        old.addBindValue(stationId);
        old.addBindValue(dayText(keepFrom));
        if (!exec(old))
            return false;
    }
    // Both stores know this form of upsert.
    QSqlQuery query(DatabaseConnection::database());
    query.prepare(QStringLiteral(
        "INSERT INTO station_day_counts (station_id, day, channel, expected, present) VALUES (?, ?, ?, ?, ?) "
        "ON CONFLICT (station_id, day, channel) DO UPDATE SET "
        "expected = station_day_counts.expected + EXCLUDED.expected, "
        "present = station_day_counts.present + EXCLUDED.present"));
    for (const Count &c : counts) {
        query.addBindValue(stationId);
        query.addBindValue(dayText(c.day));
        query.addBindValue(c.channel);
        query.addBindValue(c.expected);
        query.addBindValue(c.present);
        if (!exec(query))
            return false;
    }
    return writeState(stationId, state);
}

bool StationDayCounts::add(int stationId, const QVector<Count> &counts, const State &state,
                           const QDate &keepFrom)
{
    return inTransaction([&] { return writeAddition(stationId, counts, state, keepFrom); });
}

bool StationDayCounts::addAll(const QList<Addition> &additions)
{
    return inTransaction([&] {
        for (const Addition &a : additions)
            if (!writeAddition(a.stationId, a.counts, a.state, a.keepFrom))
                return false;
        return true;
    });
}

bool StationDayCounts::replace(int stationId, const QVector<Count> &counts, const State &state)
{
    return inTransaction([&] {
        QSqlQuery remove(DatabaseConnection::database());
        remove.prepare(QStringLiteral("DELETE FROM station_day_counts WHERE station_id = ?"));
        remove.addBindValue(stationId);
        if (!exec(remove))
            return false;
        QSqlQuery insert(DatabaseConnection::database());
        insert.prepare(
            QStringLiteral("INSERT INTO station_day_counts (station_id, day, channel, expected, present) "
                           "VALUES (?, ?, ?, ?, ?)"));
        for (const Count &c : counts) {
            insert.addBindValue(stationId);
            insert.addBindValue(dayText(c.day));
            insert.addBindValue(c.channel);
            insert.addBindValue(c.expected);
            insert.addBindValue(c.present);
            if (!exec(insert))
                return false;
        }
        return writeState(stationId, state);
    });
}

bool StationDayCounts::window(int stationId, const QDate &from, qint64 *expected, qint64 *present)
{
    QSqlQuery query(DatabaseConnection::database());
    query.prepare(QStringLiteral("SELECT COALESCE(SUM(expected), 0), COALESCE(SUM(present), 0) "
                                 "FROM station_day_counts WHERE station_id = ? AND day >= ?"));
    query.addBindValue(stationId);
    query.addBindValue(dayText(from));
    if (!exec(query) || !query.next())
        return false;
    *expected = query.value(0).toLongLong();
    *present = query.value(1).toLongLong();
    return true;
}

QVector<StationDayCounts::Count> StationDayCounts::counts(int stationId)
{
    QVector<Count> out;
    QSqlQuery query(DatabaseConnection::database());
    query.prepare(QStringLiteral("SELECT day, channel, expected, present FROM station_day_counts "
                                 "WHERE station_id = ? ORDER BY day, channel"));
    query.addBindValue(stationId);
    if (!exec(query))
        return out;
    while (query.next()) {
        Count c;
        c.day = QDate::fromString(query.value(0).toString(), QLatin1String(dayFormat));
        c.channel = query.value(1).toInt();
        c.expected = query.value(2).toLongLong();
        c.present = query.value(3).toLongLong();
        out.append(c);
    }
    return out;
}
