#include "stationsettings.h"

#include "channelchecks.h"

#include "databaseconnection.h"

#include "collectorlogging.h"

#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

const char *const StationSettings::utcOffsetKey = "utcOffset";
const char *const StationSettings::exportFormatsKey = "exportFormats";
const char *const StationSettings::csvLocaleKey = "csvLocale";
const char *const StationSettings::defaultUtcOffset = "+03:00";

namespace {

QMutex &mutex()
{
    static QMutex m;
    return m;
}

// station id → key → value
QHash<int, QHash<QString, QString>> &rows()
{
    static QHash<int, QHash<QString, QString>> r;
    return r;
}

// The store's count of setting changes when the rows were last read; -1:
// not read yet.
qint64 &loadedChanges()
{
    static qint64 n = -1;
    return n;
}

QSqlDatabase databaseOf(const QString &connection)
{
    return QSqlDatabase::database(connection.isEmpty() ? DatabaseConnection::connectionName() : connection,
                                  false);
}

bool failed(const QSqlQuery &query)
{
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
    return false;
}

QStringList formatList(const QString &text, QStringList *unknown)
{
    QStringList out;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        SeriesExporter::Format format;
        if (!SeriesExporter::parseFormat(part, &format)) {
            if (unknown)
                unknown->append(part.trimmed());
            continue;
        }
        const QString name = SeriesExporter::formatName(format);
        if (!out.contains(name))
            out.append(name);
    }
    return out;
}

} // namespace

bool StationSettings::createTable(const QString &connection)
{
    QSqlQuery query(databaseOf(connection));
    // Executed directly: a server cannot prepare table definitions.
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_settings ("
                                   "station_id INTEGER NOT NULL, "
                                   "key TEXT NOT NULL, "
                                   "value TEXT NOT NULL, "
                                   "PRIMARY KEY (station_id, key))")) ||
        // Counts the changes, so that reading them again after each round of
        // visits costs one row while nothing changed.
        !query.exec(
            QStringLiteral("CREATE TABLE IF NOT EXISTS station_settings_changes (id INTEGER PRIMARY KEY, "
                           "changes BIGINT NOT NULL)")) ||
        !query.exec(QStringLiteral("INSERT INTO station_settings_changes (id, changes) VALUES (1, 0) "
                                   "ON CONFLICT (id) DO NOTHING")))
        return failed(query);
    QMutexLocker lock(&mutex());
    loadedChanges() = -1;
    lock.unlock();
    return reload(connection);
}

bool StationSettings::reload(const QString &connection)
{
    const QSqlDatabase db = databaseOf(connection);
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    // Read before the rows: a change made in between is read again next time.
    qint64 changes = -1;
    if (query.exec(QStringLiteral("SELECT changes FROM station_settings_changes WHERE id = 1")) &&
        query.next())
        changes = query.value(0).toLongLong();
    {
        QMutexLocker lock(&mutex());
        if (changes >= 0 && changes == loadedChanges())
            return true;
    }
    if (!query.exec(QStringLiteral("SELECT station_id, key, value FROM station_settings")))
        return failed(query);
    QHash<int, QHash<QString, QString>> read;
    while (query.next())
        read[query.value(0).toInt()].insert(query.value(1).toString(), query.value(2).toString());
    QMutexLocker lock(&mutex());
    rows() = read;
    loadedChanges() = changes;
    return true;
}

bool StationSettings::setValue(int stationId, const QString &key, const QString &value, QString *why,
                               const QString &connection)
{
    QString v = value.trimmed();
    if (key == QLatin1String(utcOffsetKey)) {
        int minutes;
        if (!v.isEmpty() && !SeriesExporter::parseUtcOffset(v, &minutes)) {
            *why = QStringLiteral("utcOffset takes +hh:mm or -hh:mm");
            return false;
        }
    } else if (key == QLatin1String(exportFormatsKey)) {
        QStringList unknown;
        formatList(v, &unknown);
        if (!unknown.isEmpty()) {
            *why = QStringLiteral("exportFormats takes waterml2, zrxp and csv");
            return false;
        }
    } else if (key == QLatin1String(csvLocaleKey)) {
        SeriesExporter::Locale locale;
        if (!v.isEmpty() && !SeriesExporter::parseLocale(v, &locale)) {
            *why = QStringLiteral("csvLocale takes C, tr or de");
            return false;
        }
    } else if (ChannelChecks::slotOf(key, QStringLiteral("quality")) >= 0) {
        QartodFlags::Settings settings;
        if (!QartodFlags::Settings::parse(v, &settings, why))
            return false;
        v = settings.isEmpty() ? QString() : settings.toText();
    } else if (ChannelChecks::slotOf(key, QStringLiteral("alarms")) >= 0) {
        ValueAlarms::Settings settings;
        if (!ValueAlarms::Settings::parse(v, &settings, why))
            return false;
        v = settings.isEmpty() ? QString() : settings.toText();
    } else {
        *why = QStringLiteral("unknown station setting (utcOffset, exportFormats, csvLocale, quality:SLOT or "
                              "alarms:SLOT)");
        return false;
    }
    QSqlQuery query(databaseOf(connection));
    query.prepare(QStringLiteral("DELETE FROM station_settings WHERE station_id = ? AND key = ?"));
    query.addBindValue(stationId);
    query.addBindValue(key);
    if (!query.exec()) {
        *why = query.lastError().text();
        return failed(query);
    }
    if (!v.isEmpty()) {
        query.prepare(
            QStringLiteral("INSERT INTO station_settings (station_id, key, value) VALUES (?, ?, ?)"));
        query.addBindValue(stationId);
        query.addBindValue(key);
        query.addBindValue(v);
        if (!query.exec()) {
            *why = query.lastError().text();
            return failed(query);
        }
    }
    if (!query.exec(
            QStringLiteral("UPDATE station_settings_changes SET changes = changes + 1 WHERE id = 1"))) {
        *why = query.lastError().text();
        return failed(query);
    }
    QMutexLocker lock(&mutex());
    if (v.isEmpty())
        rows()[stationId].remove(key);
    else
        rows()[stationId].insert(key, v);
    return true;
}

QString StationSettings::value(int stationId, const QString &key)
{
    QMutexLocker lock(&mutex());
    return rows().value(stationId).value(key);
}

bool StationSettings::hasChannelChecks(int stationId)
{
    QMutexLocker lock(&mutex());
    const auto station = rows().constFind(stationId);
    if (station == rows().constEnd())
        return false;
    for (auto it = station->constBegin(); it != station->constEnd(); ++it)
        if (it.key().startsWith(QLatin1String("quality:")) || it.key().startsWith(QLatin1String("alarms:")))
            return true;
    return false;
}

int StationSettings::utcOffsetMinutes(int stationId, const QString &fallback)
{
    int minutes = 0;
    if (SeriesExporter::parseUtcOffset(value(stationId, QLatin1String(utcOffsetKey)), &minutes))
        return minutes;
    if (SeriesExporter::parseUtcOffset(fallback, &minutes))
        return minutes;
    SeriesExporter::parseUtcOffset(QLatin1String(defaultUtcOffset), &minutes);
    return minutes;
}

QStringList StationSettings::exportFormats(int stationId)
{
    return formatList(value(stationId, QLatin1String(exportFormatsKey)), nullptr);
}

SeriesExporter::Locale StationSettings::csvLocale(int stationId)
{
    SeriesExporter::Locale locale = SeriesExporter::Locale::C;
    SeriesExporter::parseLocale(value(stationId, QLatin1String(csvLocaleKey)), &locale);
    return locale;
}
