#include "databaseconnection.h"

#include "alarmmails.h"
#include "channelchecks.h"
#include "stationdaycounts.h"

#include <QLocale>

#include "collectorlogging.h"
#include "confighistory.h"
#include "resumepoints.h"
#include "stationleases.h"
#include "stationsettings.h"
#include "stationstats.h"
#include "stationvalues.h"
#include "stationvisits.h"
#include "visitcommits.h"
#include <QElapsedTimer>
#include <QMutex>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

const char *const dateTimeFormat = "yyyy-MM-dd hh:mm:ss";

// Text columns are bound as empty texts, never as NULL: several are NOT NULL.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

// Whether the stations table has the error flag's column.
bool &errorFlagStored()
{
    static bool stored = true;
    return stored;
}

// Written by whichever thread stores, read by the window.
QMutex writeErrorLock;
QString writeErrorText;

void setWriteError(const QString &text)
{
    const QMutexLocker lock(&writeErrorLock);
    writeErrorText = text;
}

thread_local QString threadConnection;

void logFailure(const QSqlQuery &query)
{
    setWriteError(query.lastError().text());
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
    qCDebug(lcStore, "SQL: %s", qUtf8Printable(query.lastQuery()));
}

QString &openError()
{
    static QString text;
    return text;
}

// Codes the stations table holds more than once, found when it was opened.
QStringList &duplicateCodes()
{
    static QStringList codes;
    return codes;
}

// Each thread reconnects its own connection.
QElapsedTimer &sinceLastReconnect()
{
    thread_local QElapsedTimer timer;
    return timer;
}

qint64 &reconnectBackOffMs()
{
    thread_local qint64 ms = 0;
    return ms;
}

} // namespace

// The same write can succeed later: another connection's write lock
// (SQLITE_BUSY, SQLITE_LOCKED), or a server that is gone for the moment
// (connection failures, a restarting server, serialization conflicts, lock
// and statement time-outs).
bool DatabaseConnection::isBusy(const QSqlError &error)
{
    if (DatabaseConnection::isPostgreSQL()) {
        const QString state = error.nativeErrorCode();
        if (error.type() == QSqlError::ConnectionError || state.startsWith(QLatin1String("08")) ||
            state.startsWith(QLatin1String("57P")) || state == QLatin1String("40001") ||
            state == QLatin1String("40P01") || state == QLatin1String("55P03") ||
            state == QLatin1String("57014"))
            return true;
        // A dropped connection shows as a failed statement without a state.
        QSqlQuery probe(database());
        return !probe.exec(QStringLiteral("SELECT 1"));
    }
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == 5 || code == 6);
}

namespace {

// The stations table as the embedded store has always created it; on the
// server the id comes from a sequence.
QString stationsTable(bool server)
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS stations (%1, "
                          "title TEXT NOT NULL, "
                          "name TEXT NOT NULL, "
                          "code TEXT NOT NULL, "
                          "region INTEGER NOT NULL DEFAULT (0), "
                          "basin INTEGER NOT NULL DEFAULT (0), "
                          "no INTEGER NOT NULL DEFAULT (0), "
                          "device_type TEXT, "
                          "phone TEXT, "
                          "ip TEXT, "
                          "port INTEGER NOT NULL DEFAULT (4380), "
                          "connection_period INTEGER NOT NULL DEFAULT (60), "
                          "last_connection_time TEXT, "
                          "active INTEGER NOT NULL DEFAULT (0), "
                          "coordinate TEXT NOT NULL DEFAULT ('0.000000, 0.000000'), "
                          "email INTEGER NOT NULL DEFAULT (0), "
                          "emaillist TEXT NOT NULL DEFAULT (''), "
                          "file_path TEXT, "
                          "file_name TEXT, "
                          "export_text INTEGER NOT NULL DEFAULT (1), "
                          "export_excel INTEGER NOT NULL DEFAULT (1), "
                          "status TEXT, "
                          "download_data INTEGER NOT NULL DEFAULT(1))")
        .arg(server ? QStringLiteral("id SERIAL PRIMARY KEY")
                    : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT"));
}

// Durability first: a status written by a worker must survive a power cut.
void setPragma(const QString &statement)
{
    QSqlQuery query;
    if (!query.exec(statement))
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
}

} // namespace

DatabaseConnection::DatabaseConnection(QObject *parent) : QObject(parent) {}

bool DatabaseConnection::connectToDatabase(const QString &databaseName, const QString &hostName, int port,
                                           const QString &userName, const QString &password)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setHostName(hostName);
    db.setPort(port);
    db.setDatabaseName(databaseName);
    db.setUserName(userName);
    db.setPassword(password);
    // Everything here runs on the main thread: a statement must not stall
    // it for long behind another process's write lock.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        openError() = db.lastError().text();
        qCDebug(lcStore, "%s", qUtf8Printable(db.lastError().text()));
        return false;
    }
    setPragma(QStringLiteral("PRAGMA journal_mode=WAL"));
    setPragma(QStringLiteral("PRAGMA synchronous=FULL"));
    limitPageCache(db);
    if (!createTable())
        return false;
    createSideTables(false);
    return true;
}

void DatabaseConnection::createSideTables(bool server)
{
    // The statistics are an extra: the stations can be collected without them.
    StationStatsStore::createTable();
    ConfigHistory().createTable();
    StationVisits::createTable();
    StationSettings::createTable();
    StationDayCounts::createTable();
    // A collector that takes a station over starts where the last one saved;
    // its writes are checked against the leases.
    if (server)
        StationLeases(QString()).createTables();
    // Where the values are committed, with the point the next download
    // resumes at. Without them a visit saves nothing and says why.
    ResumePoints().createTable();
    StationValues().createTable();
    VisitCommits().createTable();
    ChannelChecks().createTable();
    AlarmMails().createTable();
}

bool DatabaseConnection::open(const DatabaseUrl &url)
{
    openError().clear();
    if (!url.isValid()) {
        openError() = QStringLiteral("no database named");
        return false;
    }
    if (url.kind() == DatabaseUrl::SQLite) {
        if (connectToDatabase(url.path(), QString(), 0, QString(), QString()))
            return true;
        if (openError().isEmpty())
            openError() = QStringLiteral("cannot open %1").arg(url.path());
        return false;
    }
    QSqlDatabase db = url.addConnection();
    if (!db.isValid()) {
        openError() = QStringLiteral("the PostgreSQL driver of Qt is not installed (libqt5sql5-psql)");
        return false;
    }
    if (!db.open()) {
        openError() =
            QStringLiteral("cannot connect to %1: %2").arg(url.redacted(), db.lastError().databaseText());
        qCDebug(lcStore, "%s", qUtf8Printable(openError()));
        return false;
    }
    reconnectBackOffMs() = 0;
    if (!createTable())
        return false;
    createSideTables(true);
    return true;
}

QString DatabaseConnection::lastOpenError()
{
    return openError();
}

bool DatabaseConnection::isPostgreSQL()
{
    return QSqlDatabase::database(connectionName(), false).driverName() == QLatin1String("QPSQL");
}

QSqlDatabase DatabaseConnection::database()
{
    // Opened again when closed, as Qt's default connection is.
    return QSqlDatabase::database(connectionName());
}

QString DatabaseConnection::connectionName()
{
    return threadConnection.isEmpty() ? QString::fromLatin1(QSqlDatabase::defaultConnection)
                                      : threadConnection;
}

void DatabaseConnection::useOnThisThread(const QString &connection)
{
    threadConnection = connection;
}

// SQLite's default keeps up to 2 MiB of pages per connection and fills it as
// the visit history grows, so a collector running for days creeps upwards.
// The pages a visit touches are few; the rest come back from the OS's cache.
void DatabaseConnection::limitPageCache(const QSqlDatabase &db)
{
    if (!db.isOpen() || !db.driver() || db.driver()->dbmsType() != QSqlDriver::SQLite)
        return;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA cache_size=-%1").arg(pageCacheKiB)))
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
}

bool DatabaseConnection::reconnect()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
    if (!isPostgreSQL())
        return db.isOpen();
    qint64 &backOff = reconnectBackOffMs();
    if (backOff > 0 && sinceLastReconnect().isValid() && sinceLastReconnect().elapsed() < backOff)
        return false;
    sinceLastReconnect().start();
    db.close();
    if (db.open()) {
        qCInfo(lcStore, "Database connection restored");
        backOff = 0;
        return true;
    }
    backOff = qBound<qint64>(1000, backOff * 2, 30000);
    qCDebug(lcStore, "Database still unreachable, next try in %lld ms: %s", backOff,
            qUtf8Printable(db.lastError().databaseText()));
    return false;
}

bool DatabaseConnection::createTable()
{
    QSqlQuery query;
    if (!query.exec(stationsTable(isPostgreSQL()))) {
        openError() = query.lastError().databaseText();
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
        qCDebug(lcStore, "Last Querry   : %s", qUtf8Printable(query.lastQuery().simplified()));
        return false;
    }
    // The error flag goes with the status, in a table of its own: the
    // stations table keeps the columns other programs read. Where the table
    // cannot be made (a read-only file, a role without the right) statuses
    // are stored without it.
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_errors("
                                   "station_id INTEGER PRIMARY KEY, "
                                   "has_error INTEGER NOT NULL DEFAULT 0)")))
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
    errorFlagStored() = query.exec(QStringLiteral("SELECT has_error FROM station_errors LIMIT 1"));
    requireUniqueCodes();
    return true;
}

namespace {

// A stored text on one line of the log.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    return text;
}

} // namespace

void DatabaseConnection::requireUniqueCodes()
{
    // Two stations with one code would share a folder and files. A store
    // that already holds such a pair still opens; it is told which codes to
    // rename, and the index comes with the next open after that.
    QSqlQuery query;
    duplicateCodes().clear();
    if (query.exec(QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS stations_code_unique ON stations(code) "
                                  "WHERE code <> ''")))
        return;
    const QString failure = query.lastError().text();
    QSqlQuery dup;
    if (dup.exec(QStringLiteral("SELECT code, COUNT(*) FROM stations WHERE code <> '' GROUP BY code "
                                "HAVING COUNT(*) > 1 ORDER BY code"))) {
        while (dup.next())
            duplicateCodes() << dup.value(0).toString();
    }
    if (duplicateCodes().isEmpty()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(failure));
        return;
    }
    qCWarning(lcStore,
              "Station codes used by more than one station: %s. Give each station its own code; "
              "until then the store cannot refuse a duplicate.",
              qUtf8Printable(printable(duplicateCodes().join(QStringLiteral(", ")))));
}

QStringList DatabaseConnection::storedDuplicateCodes()
{
    return duplicateCodes();
}

QString DatabaseConnection::lastWriteError()
{
    const QMutexLocker lock(&writeErrorLock);
    return writeErrorText;
}

void DatabaseConnection::close()
{
    const QString name = QString::fromLatin1(QSqlDatabase::defaultConnection);
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QList<DBStation> DatabaseConnection::selectStations()
{
    return readStations(false, nullptr);
}

QList<DBStation> DatabaseConnection::selectStationsWithStatus(bool *ok)
{
    return readStations(true, ok);
}

QList<DBStation> DatabaseConnection::selectStationsWithStatus(bool *ok, const QString &connection)
{
    return readStations(true, ok, connection);
}

QList<DBStation> DatabaseConnection::readStations(bool withStatus, bool *ok, const QString &connection)
{
    QList<DBStation> stations;
    QSqlQuery query(connection.isEmpty() ? QSqlDatabase::database()
                                         : QSqlDatabase::database(connection, false));
    if (ok)
        *ok = false;
    const QString statement =
        errorFlagStored() ? QStringLiteral("SELECT s.*, e.has_error AS has_error FROM stations s "
                                           "LEFT JOIN station_errors e ON e.station_id = s.id ORDER BY s.id")
                          : QStringLiteral("SELECT * FROM stations ORDER BY id");
    // Only the default connection is opened again here; the others' owners do it.
    if (!query.exec(statement) &&
        !(connection.isEmpty() && isPostgreSQL() && reconnect() && query.exec(statement))) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(query.lastError().text()));
        return stations;
    }
    if (ok)
        *ok = true;
    const QSqlRecord rec = query.record();
    const int cId = rec.indexOf(QStringLiteral("id"));
    const int cTitle = rec.indexOf(QStringLiteral("title"));
    const int cName = rec.indexOf(QStringLiteral("name"));
    const int cCode = rec.indexOf(QStringLiteral("code"));
    const int cRegion = rec.indexOf(QStringLiteral("region"));
    const int cBasin = rec.indexOf(QStringLiteral("basin"));
    const int cNo = rec.indexOf(QStringLiteral("no"));
    const int cDeviceType = rec.indexOf(QStringLiteral("device_type"));
    const int cPhone = rec.indexOf(QStringLiteral("phone"));
    const int cIp = rec.indexOf(QStringLiteral("ip"));
    const int cPort = rec.indexOf(QStringLiteral("port"));
    const int cPeriod = rec.indexOf(QStringLiteral("connection_period"));
    const int cLast = rec.indexOf(QStringLiteral("last_connection_time"));
    const int cActive = rec.indexOf(QStringLiteral("active"));
    const int cCoordinate = rec.indexOf(QStringLiteral("coordinate"));
    const int cEmail = rec.indexOf(QStringLiteral("email"));
    const int cEmailList = rec.indexOf(QStringLiteral("emaillist"));
    const int cDownload = rec.indexOf(QStringLiteral("download_data"));
    const int cFilePath = rec.indexOf(QStringLiteral("file_path"));
    const int cFileName = rec.indexOf(QStringLiteral("file_name"));
    const int cExportText = rec.indexOf(QStringLiteral("export_text"));
    const int cExportExcel = rec.indexOf(QStringLiteral("export_excel"));
    const int cError = rec.indexOf(QStringLiteral("has_error"));

    while (query.next()) {
        DBStation s;
        s.id = query.value(cId).toInt();
        s.title = query.value(cTitle).toString();
        s.name = query.value(cName).toString();
        s.code = query.value(cCode).toString();
        s.region = query.value(cRegion).toInt();
        s.basin = query.value(cBasin).toInt();
        s.no = query.value(cNo).toInt();
        s.device_type = query.value(cDeviceType).toString();
        s.phone = query.value(cPhone).toString();
        s.ip = query.value(cIp).toString();
        s.port = query.value(cPort).toInt();
        s.connection_period = query.value(cPeriod).toInt();
        const QString last = query.value(cLast).toString();
        s.last_connection_time = QLocale::c().toDateTime(last, QLatin1String(dateTimeFormat));
        if (!s.last_connection_time.isValid() && !last.isEmpty())
            s.last_connection_time = QDateTime::fromString(last, Qt::ISODate);
        s.active = query.value(cActive).toBool();
        s.coordinate = query.value(cCoordinate).toString();
        s.email = query.value(cEmail).toBool();
        s.emaillist = query.value(cEmailList).toString().split(QLatin1Char(','), Qt::KeepEmptyParts);
        s.download_data = query.value(cDownload).toBool();
        s.file_path = query.value(cFilePath).toString();
        s.file_name = query.value(cFileName).toString();
        s.export_text = query.value(cExportText).toBool();
        s.export_excel = query.value(cExportExcel).toBool();
        if (withStatus) {
            s.status = query.value(QStringLiteral("status")).toString();
            s.has_error = cError >= 0 && query.value(cError).toBool();
        }
        stations.append(s);
    }
    return stations;
}

int DatabaseConnection::insertStation(const DBStation &station)
{
    QSqlDatabase db = QSqlDatabase::database();
    QSqlQuery query(db);
    // The server hands out the id itself; QPSQL has no last insert id without OIDs.
    query.prepare(isPostgreSQL()
                      ? QStringLiteral("INSERT INTO stations(title, name, code) VALUES(?, ?, ?) RETURNING id")
                      : QStringLiteral("  INSERT INTO stations(title, name, code) VALUES(?, ?, ?)"));
    query.addBindValue(text(station.title));
    query.addBindValue(text(station.name));
    query.addBindValue(text(station.code));

    db.transaction();
    if (!query.exec()) {
        logFailure(query);
        db.rollback();
        return -1;
    }
    const int id =
        isPostgreSQL() ? (query.next() ? query.value(0).toInt() : -1) : query.lastInsertId().toInt();
    if (id < 0) {
        db.rollback();
        return -1;
    }
    DBStation stored = station;
    stored.id = id;
    // A row holding only the three names would be a station nobody entered.
    if (!updateStation(stored)) {
        db.rollback();
        return -1;
    }
    if (!db.commit()) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(db.lastError().text()));
        db.rollback();
        return -1;
    }
    return id;
}

bool DatabaseConnection::updateStation(const DBStation &station)
{
    return writeStation(station, nullptr);
}

bool DatabaseConnection::writeStation(const DBStation &station, QSqlError *error)
{
    QSqlQuery query;
    query.prepare(
        QStringLiteral("UPDATE stations SET title = ?, name = ?, code = ?, region = ?, basin = ?, no = ?, "
                       "device_type = ?, ip = ?, port = ?, connection_period = ?, "
                       "last_connection_time = ?, active = ?, coordinate = ?, email = ?, emaillist = ?, "
                       "download_data = ?, file_path = ?, file_name = ?, export_text = ?, "
                       "export_excel = ?, phone = ?, status = ? WHERE id = ?"));
    query.addBindValue(text(station.title));
    query.addBindValue(text(station.name));
    query.addBindValue(text(station.code));
    query.addBindValue(station.region);
    query.addBindValue(station.basin);
    query.addBindValue(station.no);
    query.addBindValue(text(station.device_type));
    query.addBindValue(text(station.ip));
    query.addBindValue(station.port);
    query.addBindValue(station.connection_period);
    query.addBindValue(
        text(QLocale::c().toString(station.last_connection_time, QLatin1String(dateTimeFormat))));
    query.addBindValue(station.active ? 1 : 0);
    query.addBindValue(text(station.coordinate));
    query.addBindValue(station.email ? 1 : 0);
    query.addBindValue(text(station.emaillist.join(QLatin1Char(','))));
    query.addBindValue(station.download_data ? 1 : 0);
    query.addBindValue(text(station.file_path));
    query.addBindValue(text(station.file_name));
    query.addBindValue(station.export_text ? 1 : 0);
    query.addBindValue(station.export_excel ? 1 : 0);
    query.addBindValue(text(station.phone));
    query.addBindValue(text(station.status));
    query.addBindValue(station.id);
    if (!query.exec()) {
        logFailure(query);
        if (error)
            *error = query.lastError();
        return false;
    }
    return true;
}

QString &leaseHolder()
{
    static QString holder;
    return holder;
}

void DatabaseConnection::setLeaseHolder(const QString &holder)
{
    leaseHolder() = holder;
}

QString DatabaseConnection::leaseHolderName()
{
    return leaseHolder();
}

QString DatabaseConnection::statusUpdateStatement(qint64 leaseEpoch)
{
    const QString update =
        QStringLiteral("UPDATE stations SET status = ?, last_connection_time = ? WHERE id = ?");
    // On a shared store, only while the lease the visit ran under is still
    // this collector's: a collector that lost the station writes nothing.
    if (leaseHolder().isEmpty() || !isPostgreSQL())
        return update;
    return update + QStringLiteral(" AND ") + StationLeases::fenceCondition(leaseEpoch);
}

bool DatabaseConnection::writeStatus(const DBStation &station, QSqlError *error)
{
    QSqlQuery query(database());
    query.prepare(statusUpdateStatement(station.lease_epoch));
    query.addBindValue(text(station.status));
    query.addBindValue(
        text(QLocale::c().toString(station.last_connection_time, QLatin1String(dateTimeFormat))));
    query.addBindValue(station.id);
    if (!leaseHolder().isEmpty() && isPostgreSQL()) {
        for (const QVariant &v : StationLeases::fenceValues(station.id, leaseHolder(), station.lease_epoch))
            query.addBindValue(v);
    }
    if (!query.exec()) {
        logFailure(query);
        if (error)
            *error = query.lastError();
        return false;
    }
    // No row: the station is gone or, on a shared store, no longer ours.
    if (!errorFlagStored() || query.numRowsAffected() <= 0)
        return true;
    QSqlQuery flag(database());
    flag.prepare(QStringLiteral("INSERT INTO station_errors(station_id, has_error) VALUES(?, ?) "
                                "ON CONFLICT(station_id) DO UPDATE SET has_error = excluded.has_error"));
    flag.addBindValue(station.id);
    flag.addBindValue(station.has_error ? 1 : 0);
    if (!flag.exec()) {
        logFailure(flag);
        if (error)
            *error = flag.lastError();
        return false;
    }
    return true;
}

bool DatabaseConnection::updateStations(const QList<DBStation> &stations, bool *busy)
{
    return writeAll(stations, &DatabaseConnection::writeStation, busy);
}

bool DatabaseConnection::updateStatuses(const QList<DBStation> &stations, bool *busy)
{
    return writeAll(stations, &DatabaseConnection::writeStatus, busy);
}

bool DatabaseConnection::writeAll(const QList<DBStation> &stations, RowWriter write, bool *busy)
{
    QSqlError error;
    bool written = writeStations(stations, write, &error);
    bool transient = !written && isBusy(error);
    // A server connection that dropped since the last write: open it again
    // (within the back-off) and write once more.
    if (transient && isPostgreSQL() && reconnect()) {
        written = writeStations(stations, write, &error);
        transient = !written && isBusy(error);
    }
    if (busy)
        *busy = transient;
    return written;
}

bool DatabaseConnection::writeStations(const QList<DBStation> &stations, RowWriter write, QSqlError *error)
{
    QSqlDatabase db = database();
    if (!db.transaction()) {
        *error = db.lastError();
        setWriteError(error->text());
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(error->text()));
        return false;
    }
    for (const DBStation &station : stations) {
        if (!write(station, error)) {
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        *error = db.lastError();
        setWriteError(error->text());
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(error->text()));
        db.rollback();
        return false;
    }
    return true;
}

bool DatabaseConnection::deleteStation(int id)
{
    QSqlQuery query;
    query.prepare(QStringLiteral("DELETE FROM stations WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        logFailure(query);
        return false;
    }
    if (errorFlagStored()) {
        query.prepare(QStringLiteral("DELETE FROM station_errors WHERE station_id = ?"));
        query.addBindValue(id);
        if (!query.exec())
            logFailure(query);
    }
    return true;
}

QHash<int, QDateTime> DatabaseConnection::lastConnectionTimes(const QList<int> &ids)
{
    QHash<int, QDateTime> times;
    const QSet<int> wanted(ids.cbegin(), ids.cend());
    QSqlQuery query;
    query.prepare(QStringLiteral("SELECT id, last_connection_time FROM stations"));
    if (!query.exec()) {
        logFailure(query);
        return times;
    }
    while (query.next()) {
        const int id = query.value(0).toInt();
        const QDateTime t = QLocale::c().toDateTime(query.value(1).toString(), QLatin1String(dateTimeFormat));
        if (wanted.contains(id) && t.isValid())
            times.insert(id, t);
    }
    return times;
}
