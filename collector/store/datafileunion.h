#pragma once

#include "store/stationvalues.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

// One data file as a reader should see it: the lines of a folder's copy and
// the values the store holds for that file (committed through other folders
// too, or after the copy was written), each value once, in time order. The
// copy is read line by line; only the store's values are held, compactly.
class DataFileUnion
{
public:
    // A value the store holds for the file (any order).
    void add(const StationValues::Value &value);
    int storedCount() const { return int(rows.size()); }

    // Writes the union to outPath. localPath: the folder's copy (empty or
    // missing: the store's values alone); storedHeader: the header element
    // the store kept, used when there is no readable copy. A copy cut or
    // torn gives the lines before the damage. False, with *error, when there
    // is no header or the output cannot be written.
    bool write(const QString &localPath, const QByteArray &storedHeader, const QString &outPath,
               QString *error);
    // After write: the store's values the copy lacked.
    int added() const { return addedCount; }

private:
    struct Row
    {
        qint64 minute = 0; // minutes since the epoch of the device's clock
        int channel = 0;
        int type = 0; // index into types
        bool setTime = false;
        QByteArray value;
    };

    static qint64 minuteOf(const QStringRef &date, const QStringRef &time);
    qint64 keyOf(qint64 minute, int channel, int type) const;
    int typeIndex(const QString &type);

    QVector<Row> rows;
    QVector<QString> types;
    int addedCount = 0;
};
