#include "stationstats.h"

#include "collectorlogging.h"
#include "databaseconnection.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

namespace {

const char *const timeFormat = "yyyy-MM-dd hh:mm:ss";

QVariant timeValue(const QDateTime &time)
{
    return time.isValid() ? QVariant(QLocale::c().toString(time, QLatin1String(timeFormat))) : QVariant();
}

QDateTime timeOf(const QVariant &value)
{
    return QLocale::c().toDateTime(value.toString(), QLatin1String(timeFormat));
}

// "epoch:fill;epoch:fill", short enough for a column and read back exactly.
QString samplesText(const QList<QPair<QDateTime, double>> &samples)
{
    QStringList parts;
    for (const auto &s : samples)
        parts << QStringLiteral("%1:%2").arg(s.first.toSecsSinceEpoch()).arg(s.second, 0, 'g', 10);
    return parts.join(QLatin1Char(';'));
}

QList<QPair<QDateTime, double>> samplesOf(const QString &text)
{
    QList<QPair<QDateTime, double>> samples;
    const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const int colon = part.indexOf(QLatin1Char(':'));
        bool okTime = false;
        bool okFill = false;
        const qint64 secs = part.left(colon).toLongLong(&okTime);
        const double fill = part.mid(colon + 1).toDouble(&okFill);
        if (colon > 0 && okTime && okFill)
            samples.append({QDateTime::fromSecsSinceEpoch(secs), fill});
    }
    return samples;
}

QString alertsText(const QHash<QString, QDateTime> &alerts)
{
    QStringList parts;
    for (auto it = alerts.constBegin(); it != alerts.constEnd(); ++it)
        parts << QStringLiteral("%1=%2").arg(it.key()).arg(it.value().toSecsSinceEpoch());
    parts.sort();
    return parts.join(QLatin1Char(';'));
}

QHash<QString, QDateTime> alertsOf(const QString &text)
{
    QHash<QString, QDateTime> alerts;
    const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const int eq = part.indexOf(QLatin1Char('='));
        bool ok = false;
        const qint64 secs = part.mid(eq + 1).toLongLong(&ok);
        if (eq > 0 && ok)
            alerts.insert(part.left(eq), QDateTime::fromSecsSinceEpoch(secs));
    }
    return alerts;
}

} // namespace

QString StationStats::summary() const
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("StationStats", text); };
    const QLocale c = QLocale::c();
    QStringList lines;
    lines << tr("Visits: %1, succeeded %2, failed %3, retries %4")
                 .arg(visits)
                 .arg(successes)
                 .arg(failures())
                 .arg(retries);
    lines << tr("Last success: %1")
                 .arg(lastSuccess.isValid() ? c.toString(lastSuccess, QLatin1String(timeFormat))
                                            : tr("never"));
    if (driftKnown)
        lines << tr("Clock drift: %1 s").arg(lastDriftSeconds) +
                     (driftFlag ? tr(" (beyond the limit)") : QString());
    if (!completenessError.isEmpty())
        lines << tr("Completeness unknown: %1").arg(completenessError);
    if (memoryFull.isValid())
        lines << tr("Memory full: %1, unread data overwritten: %2")
                     .arg(c.toString(memoryFull, QStringLiteral("yyyy-MM-dd hh:mm")),
                          c.toString(memoryOverwrite, QStringLiteral("yyyy-MM-dd hh:mm")));
    return lines.join(QLatin1Char('\n'));
}

bool StationStatsStore::createTable()
{
    // Its own table, created when missing; completeness_30d stays NULL until
    // a completeness source computes it. Counters are 64-bit on any server.
    QSqlQuery query(DatabaseConnection::database());
    const bool ok = query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_stats ("
                                              "station_id INTEGER PRIMARY KEY, "
                                              "visits BIGINT NOT NULL DEFAULT (0), "
                                              "successes BIGINT NOT NULL DEFAULT (0), "
                                              "failed_no_connection BIGINT NOT NULL DEFAULT (0), "
                                              "failed_wrong_station BIGINT NOT NULL DEFAULT (0), "
                                              "failed_device BIGINT NOT NULL DEFAULT (0), "
                                              "failed_save BIGINT NOT NULL DEFAULT (0), "
                                              "retries BIGINT NOT NULL DEFAULT (0), "
                                              "records BIGINT NOT NULL DEFAULT (0), "
                                              "bytes BIGINT NOT NULL DEFAULT (0), "
                                              "last_duration_ms BIGINT NOT NULL DEFAULT (0), "
                                              "last_success_time TEXT, "
                                              "last_drift_seconds BIGINT, "
                                              "drift_flag INTEGER NOT NULL DEFAULT (0), "
                                              "last_clock_set TEXT, "
                                              "consecutive_failures INTEGER NOT NULL DEFAULT (0), "
                                              "last_reason TEXT, "
                                              "memory_samples TEXT, "
                                              "memory_full_time TEXT, "
                                              "memory_overwrite_time TEXT, "
                                              "memory_warning INTEGER NOT NULL DEFAULT (0), "
                                              "completeness_30d REAL, "
                                              "last_alerts TEXT, "
                                              "failing_alerted INTEGER NOT NULL DEFAULT (0), "
                                              "pending_alerts TEXT, "
                                              "last_clock_attempt TEXT, "
                                              "completeness_error TEXT)"));
    if (!ok) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
        return false;
    }
    // Tables of earlier versions gain the columns added since.
    const QSqlRecord existing = DatabaseConnection::database().record(QStringLiteral("station_stats"));
    for (const char *column : {"pending_alerts", "last_clock_attempt", "completeness_error"}) {
        if (existing.contains(QLatin1String(column)))
            continue;
        if (!query.exec(
                QStringLiteral("ALTER TABLE station_stats ADD COLUMN %1 TEXT").arg(QLatin1String(column)))) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
            return false;
        }
    }
    return true;
}

namespace {

// The row the query stands on.
StationStats statsOf(const QSqlQuery &query)
{
    const QSqlRecord rec = query.record();
    const auto v = [&](const char *name) { return query.value(rec.indexOf(QLatin1String(name))); };
    StationStats s;
    s.stationId = v("station_id").toInt();
    s.visits = v("visits").toLongLong();
    s.successes = v("successes").toLongLong();
    s.failedNoConnection = v("failed_no_connection").toLongLong();
    s.failedWrongStation = v("failed_wrong_station").toLongLong();
    s.failedDevice = v("failed_device").toLongLong();
    s.failedSave = v("failed_save").toLongLong();
    s.retries = v("retries").toLongLong();
    s.records = v("records").toLongLong();
    s.bytes = v("bytes").toLongLong();
    s.lastDurationMs = v("last_duration_ms").toLongLong();
    s.lastSuccess = timeOf(v("last_success_time"));
    s.driftKnown = !v("last_drift_seconds").isNull();
    s.lastDriftSeconds = v("last_drift_seconds").toLongLong();
    s.driftFlag = v("drift_flag").toBool();
    s.lastClockSet = timeOf(v("last_clock_set"));
    s.consecutiveFailures = v("consecutive_failures").toInt();
    s.lastReason = v("last_reason").toString();
    s.memorySamples = samplesOf(v("memory_samples").toString());
    s.memoryFull = timeOf(v("memory_full_time"));
    s.memoryOverwrite = timeOf(v("memory_overwrite_time"));
    s.memoryWarning = v("memory_warning").toBool();
    s.completenessKnown = !v("completeness_30d").isNull();
    s.completeness30d = v("completeness_30d").toDouble();
    s.lastAlert = alertsOf(v("last_alerts").toString());
    s.failingAlerted = v("failing_alerted").toBool();
    s.pendingAlerts = alertsOf(v("pending_alerts").toString());
    s.lastClockAttempt = timeOf(v("last_clock_attempt"));
    s.completenessError = v("completeness_error").toString();
    return s;
}

void logFailure(const QSqlQuery &query)
{
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
}

} // namespace

QHash<int, StationStats> StationStatsStore::load(const QString &connection)
{
    QHash<int, StationStats> all;
    QSqlQuery query(connection.isEmpty() ? DatabaseConnection::database()
                                         : QSqlDatabase::database(connection, false));
    if (!query.exec(QStringLiteral("SELECT * FROM station_stats"))) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
        return all;
    }
    while (query.next()) {
        const StationStats s = statsOf(query);
        all.insert(s.stationId, s);
    }
    return all;
}

bool StationStatsStore::addVisit(int stationId, const StationStats &counts, bool failed,
                                 const std::function<void(StationStats &)> &finish, StationStats *stored,
                                 bool *busy)
{
    *busy = false;
    QSqlDatabase db = DatabaseConnection::database();
    QSqlError error;
    const auto attempt = [&]() -> bool {
        if (!db.transaction()) {
            error = db.lastError();
            return false;
        }
        const auto fail = [&](const QSqlQuery &query) {
            logFailure(query);
            error = query.lastError();
            db.rollback();
            return false;
        };
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT INTO station_stats (station_id) VALUES (?) "
                                     "ON CONFLICT(station_id) DO NOTHING"));
        query.addBindValue(stationId);
        if (!query.exec())
            return fail(query);
        // Increments only: what another collector added meanwhile stays. On
        // the server this locks the row until the commit, so the read below
        // and the write after it see no other visit in between.
        query.prepare(
            QStringLiteral("UPDATE station_stats SET visits = visits + ?, successes = successes + ?, "
                           "failed_no_connection = failed_no_connection + ?, "
                           "failed_wrong_station = failed_wrong_station + ?, "
                           "failed_device = failed_device + ?, failed_save = failed_save + ?, "
                           "retries = retries + ?, records = records + ?, bytes = bytes + ?, "
                           "consecutive_failures = CASE WHEN ? = 1 THEN consecutive_failures + 1 "
                           "ELSE 0 END WHERE station_id = ?"));
        query.addBindValue(counts.visits);
        query.addBindValue(counts.successes);
        query.addBindValue(counts.failedNoConnection);
        query.addBindValue(counts.failedWrongStation);
        query.addBindValue(counts.failedDevice);
        query.addBindValue(counts.failedSave);
        query.addBindValue(counts.retries);
        query.addBindValue(counts.records);
        query.addBindValue(counts.bytes);
        query.addBindValue(failed ? 1 : 0);
        query.addBindValue(stationId);
        if (!query.exec())
            return fail(query);
        query.prepare(QStringLiteral("SELECT * FROM station_stats WHERE station_id = ?"));
        query.addBindValue(stationId);
        if (!query.exec())
            return fail(query);
        if (!query.next()) {
            db.rollback();
            return false;
        }
        StationStats s = statsOf(query);
        query.finish();
        finish(s);
        query.prepare(QStringLiteral("UPDATE station_stats SET last_duration_ms = ?, last_success_time = ?, "
                                     "last_drift_seconds = ?, drift_flag = ?, last_clock_set = ?, "
                                     "last_reason = ?, memory_samples = ?, memory_full_time = ?, "
                                     "memory_overwrite_time = ?, memory_warning = ?, completeness_30d = ?, "
                                     "last_alerts = ?, failing_alerted = ?, pending_alerts = ?, "
                                     "last_clock_attempt = ?, completeness_error = ? WHERE station_id = ?"));
        query.addBindValue(s.lastDurationMs);
        query.addBindValue(timeValue(s.lastSuccess));
        query.addBindValue(s.driftKnown ? QVariant(s.lastDriftSeconds) : QVariant());
        query.addBindValue(s.driftFlag ? 1 : 0);
        query.addBindValue(timeValue(s.lastClockSet));
        query.addBindValue(s.lastReason);
        query.addBindValue(samplesText(s.memorySamples));
        query.addBindValue(timeValue(s.memoryFull));
        query.addBindValue(timeValue(s.memoryOverwrite));
        query.addBindValue(s.memoryWarning ? 1 : 0);
        query.addBindValue(s.completenessKnown ? QVariant(s.completeness30d) : QVariant());
        query.addBindValue(alertsText(s.lastAlert));
        query.addBindValue(s.failingAlerted ? 1 : 0);
        query.addBindValue(alertsText(s.pendingAlerts));
        query.addBindValue(timeValue(s.lastClockAttempt));
        query.addBindValue(s.completenessError);
        query.addBindValue(stationId);
        if (!query.exec())
            return fail(query);
        if (!db.commit()) {
            error = db.lastError();
            db.rollback();
            return false;
        }
        *stored = s;
        return true;
    };
    if (attempt())
        return true;
    *busy = DatabaseConnection::isBusy(error);
    // A server connection that dropped since the last statement: open it
    // again (within the back-off) and try once more.
    if (*busy && DatabaseConnection::isPostgreSQL() && DatabaseConnection::reconnect()) {
        if (attempt())
            return true;
        *busy = DatabaseConnection::isBusy(error);
    }
    return false;
}

bool StationStatsStore::changeAlerts(int stationId, const std::function<void(StationStats &)> &change,
                                     StationStats *stored)
{
    QSqlDatabase db = DatabaseConnection::database();
    if (!db.transaction())
        return false;
    QSqlQuery query(db);
    const auto fail = [&] {
        logFailure(query);
        db.rollback();
        return false;
    };
    query.prepare(QStringLiteral("INSERT INTO station_stats (station_id) VALUES (?) "
                                 "ON CONFLICT(station_id) DO NOTHING"));
    query.addBindValue(stationId);
    if (!query.exec())
        return fail();
    // A write first, so that on the server the row is locked until the
    // commit and another collector's change is not lost.
    query.prepare(
        QStringLiteral("UPDATE station_stats SET failing_alerted = failing_alerted WHERE station_id = ?"));
    query.addBindValue(stationId);
    if (!query.exec())
        return fail();
    query.prepare(QStringLiteral("SELECT * FROM station_stats WHERE station_id = ?"));
    query.addBindValue(stationId);
    if (!query.exec() || !query.next())
        return fail();
    StationStats s = statsOf(query);
    query.finish();
    change(s);
    query.prepare(QStringLiteral("UPDATE station_stats SET last_alerts = ?, failing_alerted = ?, "
                                 "pending_alerts = ?, last_clock_attempt = ? WHERE station_id = ?"));
    query.addBindValue(alertsText(s.lastAlert));
    query.addBindValue(s.failingAlerted ? 1 : 0);
    query.addBindValue(alertsText(s.pendingAlerts));
    query.addBindValue(timeValue(s.lastClockAttempt));
    query.addBindValue(stationId);
    if (!query.exec())
        return fail();
    if (!db.commit()) {
        db.rollback();
        return false;
    }
    *stored = s;
    return true;
}

bool StationStatsStore::remove(int stationId)
{
    QSqlQuery query(DatabaseConnection::database());
    query.prepare(QStringLiteral("DELETE FROM station_stats WHERE station_id = ?"));
    query.addBindValue(stationId);
    return query.exec();
}
