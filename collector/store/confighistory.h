#pragma once

#include "nexil/configuration/configsnapshot.h"
#include "nexil/configuration/uploadcheck.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

// Every configuration a station's device has shown, in the station_config
// table: what visits, the console and the wizard read (a new row only when
// the content changes; otherwise the last row is seen again), and every
// upload made from here with its actor, what it meant and what the device
// confirmed.
class ConfigHistory
{
public:
    static QString visit() { return QStringLiteral("visit"); }
    static QString console() { return QStringLiteral("console"); }
    static QString wizard() { return QStringLiteral("wizard"); }
    static QString cli() { return QStringLiteral("cli"); }
    static QString clock() { return QStringLiteral("clock"); }

    struct Entry
    {
        qint64 id = 0;
        int stationId = 0;
        QDateTime firstSeen;
        QDateTime lastSeen;
        QString source;
        QString actor;
        ConfigSnapshot records; // what was read (after an upload: read back)
        QString hash;
        ConfigSnapshot meant; // uploads only
        QJsonObject outcome;  // uploads only: record → "confirmed" or why not
        bool unexplained = false;
        bool isUpload() const { return !meant.isEmpty(); }
    };

    // connection: a QSqlDatabase connection name (empty: the default one).
    explicit ConfigHistory(const QString &connection = QString());

    bool createTable();

    // A configuration read. *changes: its differences from the last entry
    // over the records both hold (none for a station's first entry).
    // `unexplained` marks a new row as a change nobody here made.
    bool recordRead(int stationId, const QString &source, const QString &actor, const ConfigSnapshot &read,
                    const QDateTime &when, QList<ConfigChange> *changes = nullptr, bool unexplained = false);
    // An upload and its read-back; always a row of its own.
    bool recordUpload(int stationId, const QString &source, const QString &actor, const UploadCheck &check,
                      const QDateTime &when);
    // Oldest first; false when the store failed.
    bool entries(int stationId, QList<Entry> *out) const;
    bool latest(int stationId, Entry *out, bool *found) const;
    // Visits that found a change nobody here made, per station (stations
    // without any are left out).
    QHash<int, qint64> unexplainedCounts() const;

    // {"code", "entries": [{"time", "source", "actor", "changes": [...]}]},
    // each entry's changes against the one before it.
    static QJsonObject toJson(const QString &code, const QList<Entry> &entries);
    static QList<ConfigChange> changesOf(const QList<Entry> &entries, int index);
    // The operator here: login name and host.
    static QString localActor();

private:
    bool insert(const Entry &entry);
    QString m_connection;
};
