#pragma once

#include "databaseurl.h"
#include "dbstation.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QSqlDatabase;
class QSqlError;

// Opens the station database on Qt's default connection and keeps the
// stations table. The row operations are used by the table model only, on
// the main thread.
class DatabaseConnection : public QObject
{
    Q_OBJECT
public:
    // How long a statement waits for another connection's write lock
    // before it fails as busy.
    static constexpr int busyTimeoutMs = 100;

    explicit DatabaseConnection(QObject *parent = nullptr);

    bool connectToDatabase(const QString &databaseName, const QString &hostName, int port,
                           const QString &userName, const QString &password);
    // Opens the store the URL names (SQLite or PostgreSQL) and creates the
    // tables it lacks.
    bool open(const DatabaseUrl &url);
    // Why the last open failed (never holding a password).
    static QString lastOpenError();
    static bool isPostgreSQL();
    // Why the last refused write or delete failed, as the database said it.
    static QString lastWriteError();
    // Codes that more than one station of the open store holds (told on
    // opening; such a store has no unique index on the code yet).
    static QStringList storedDuplicateCodes();
    // The connection the store's helpers use on the calling thread: the
    // default one, or the one a store thread named for itself.
    static QSqlDatabase database();
    static QString connectionName();
    // Names the calling thread's connection (empty: the default one).
    static void useOnThisThread(const QString &connection);
    // Caps the pages an open SQLite connection keeps in memory (no-op for
    // PostgreSQL).
    static void limitPageCache(const QSqlDatabase &db);
    static constexpr int pageCacheKiB = 512;
    bool createTable();
    static void requireUniqueCodes();
    // Closes the default connection and lets it go (before the process ends).
    static void close();

    static QList<DBStation> selectStations();
    // As stored, statuses included: what other collectors and operators
    // wrote into a shared store. false in *ok when the query failed.
    static QList<DBStation> selectStationsWithStatus(bool *ok);
    // The same on a named connection of another thread (the web server's).
    static QList<DBStation> selectStationsWithStatus(bool *ok, const QString &connection);
    // The stored time of each station's last visit (missing: none yet).
    static QHash<int, QDateTime> lastConnectionTimes(const QList<int> &ids);
    // The new row id, or -1 when nothing was stored.
    static int insertStation(const DBStation &station);
    static bool updateStation(const DBStation &station);
    // Writes several records in one transaction: all of them or none. busy
    // tells a failure caused by another connection's lock (worth trying
    // again) from a refusal.
    static bool updateStations(const QList<DBStation> &stations, bool *busy = nullptr);
    // Stores only what a worker owns (status and last connection time) of
    // each record, in one transaction: an operator's change written by
    // another window meanwhile stays. busy as for updateStations.
    static bool updateStatuses(const QList<DBStation> &stations, bool *busy = nullptr);
    // The one statement a worker's status is stored with: on a shared store
    // with a lease holder set, conditional on the lease the visit ran under.
    static QString statusUpdateStatement(qint64 leaseEpoch = 0);
    // This collector's name in the station leases (empty: no leases).
    static void setLeaseHolder(const QString &holder);
    static QString leaseHolderName();
    static bool deleteStation(int id);

    // The same write can succeed later (another connection's lock, a server
    // gone for the moment).
    static bool isBusy(const QSqlError &error);
    // A lost server connection is opened again, at most once per back-off
    // step (1 s doubling to 30 s); true when it is open now.
    static bool reconnect();

private:
    // The tables beside the stations; server: those only a shared store has.
    static void createSideTables(bool server);
    using RowWriter = bool (*)(const DBStation &station, QSqlError *error);
    static QList<DBStation> readStations(bool withStatus, bool *ok, const QString &connection = QString());
    static bool writeStation(const DBStation &station, QSqlError *error);
    static bool writeStatus(const DBStation &station, QSqlError *error);
    static bool writeStations(const QList<DBStation> &stations, RowWriter write, QSqlError *error);
    static bool writeAll(const QList<DBStation> &stations, RowWriter write, bool *busy);
};
