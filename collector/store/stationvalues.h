#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QVector>

#include <functional>

class QSqlDatabase;
class QSqlQuery;

// Where a collected value is committed: one row per value, keyed by the
// station, the channel's slot on the device, the value type and the
// device's date and time, so a value downloaded twice (another collector,
// a repeated download after a crash) is stored once. The row keeps the
// value as the data file writes it, the data file (in its folder) it belongs
// to and the order it was committed in, so a data file can be completed from
// it.
// On PostgreSQL the table is partitioned by month, created as needed.
class StationValues
{
public:
    struct Value
    {
        int slot = 0;
        QString type; // "INS", "MAX", "MIN", "AVG", "TOT"
        QString at;   // "yyyy-MM-dd hh:mm", the device's wall clock
        QString value;
        bool setTime = false;
        int channel = 0; // the position in the data file's channel list
        QString code;
        QString unit;
        // Its quality flag: 1 pass, 2 not evaluated, 3 suspect, 4 fail,
        // 9 missing.
        quint8 flag = 2;
    };

    // Which data file in which folder a commit's values belong to.
    struct Target
    {
        int stationId = 0;
        QString file;        // the data file's name
        QString destination; // host and station folder that holds the file
    };

    // connection: a QSqlDatabase connection name (empty: the default one).
    explicit StationValues(const QString &connection = QString());

    bool createTable();
    // Inserts those values the store lacks, inside the caller's transaction;
    // *inserted tells which of them were new. target: the data file's row in
    // the commits (the file and folder the values belong to); commit numbers
    // them in its order. False when the store failed.
    bool insert(int stationId, qint64 target, qint64 commit, const QList<Value> &values,
                QVector<bool> *inserted);
    // The target's values in the order they were committed.
    bool load(int stationId, qint64 target, QList<Value> *values);
    // The values of these targets one by one, in the order they were
    // committed or (byTime) by date and time, a
    // minute's in the order they were committed. False when the store failed.
    bool read(int stationId, const QList<qint64> &targets, bool byTime,
              const std::function<void(const Value &)> &each);
    // One series of a slot and type (at and value and flag only), in time
    // order: the values from `from` to `to` ("yyyy-MM-dd hh:mm", both
    // included), and up to `around` values before and after them. False when
    // the store failed.
    bool series(int stationId, int slot, const QString &type, const QString &from, const QString &to,
                int around, QList<Value> *values);
    // A stored value's flag, inside the caller's transaction.
    bool setFlag(int stationId, int slot, const QString &type, const QString &at, quint8 flag);
    // The key text of a value, for finding it in a data file.
    static QString key(int channel, const QString &type, const QString &at);

    // The month partitions (PostgreSQL) the values need, made when missing.
    bool ensurePartitions(const QList<Value> &values);
    // Forgets the partitions found so far (one may have been dropped since).
    static void forgetPartitions();
    // "station_values_y2026m03" for values of March 2026; empty for a text
    // that is no month.
    static QString partitionName(const QString &at);

private:
    bool isPostgres() const;
    // An insert of that many rows, placeholders for every column.
    static bool prepareInsert(QSqlQuery &q, int rows);
    static bool insertIntoFile(const QSqlDatabase &db, int stationId, qint64 target, qint64 commit,
                               const QList<Value> &values, const QList<int> &rows, QVector<bool> *inserted);

    QString m_connection;
};
