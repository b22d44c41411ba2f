#pragma once

#include "dbstation.h"

#include <QList>
#include <QObject>
#include <QString>

// Opens the station database on Qt's default connection and keeps the
// stations table. The row operations are used by the table model only, on
// the main thread.
class DatabaseConnection : public QObject
{
    Q_OBJECT
public:
    explicit DatabaseConnection(QObject *parent = nullptr);

    bool connectToDatabase(const QString &databaseName, const QString &hostName, int port,
                           const QString &userName, const QString &password);
    bool createTable();
    // Closes the default connection and lets it go (before the process ends).
    static void close();

    static QList<DBStation> selectStations();
    // The new row id, or -1 when nothing was stored.
    static int insertStation(const DBStation &station);
    static bool updateStation(const DBStation &station);
    // Writes several records in one transaction: all of them or none.
    static bool updateStations(const QList<DBStation> &stations);
    static bool deleteStation(int id);
};
