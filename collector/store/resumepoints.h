#pragma once

#include <QDateTime>
#include <QString>

class QSqlQuery;

// Where a station's next download starts, kept in a shared store beside the
// data files: a collector that takes a station over may not see the files
// another collector wrote, and must not download again what was saved.
class ResumePoints
{
public:
    struct Point
    {
        int page = 0;
        int buffer = 0;
        QDateTime timeBase; // invalid when no value followed a clock setting
        bool isValid() const { return page > 0 || buffer > 0; }
        qint64 offset() const { return qint64(page) * 512 + buffer; }
        // Further into the device's memory.
        bool isLaterThan(const Point &other) const { return offset() > other.offset(); }
    };

    enum Outcome { Stored, Refused, Failed };

    // connection: a QSqlDatabase connection name (empty: the default one).
    explicit ResumePoints(const QString &connection = QString());

    bool createTable();
    // Stores the point of a save made under lease number `epoch` by
    // `holder` (epoch 0: a visit without a lease, taken as made under the
    // station's current number while nobody else holds it). Refused, and
    // nothing changes, for a point without a time base, one behind the
    // stored point of the same file, or one saved under an older lease
    // than the stored point. `file`: the name of the file it was saved
    // into.
    Outcome store(int stationId, const Point &point, const QString &file, const QString &holder = QString(),
                  qint64 epoch = 0);
    // False when the store failed; an unknown station gives an invalid point.
    bool load(int stationId, Point *point, QString *file = nullptr);

    // Where to resume from the file's point and the store's: the one further
    // into memory, with its own time base. At the same place, the one that
    // knows its base.
    static Point later(const Point &file, const Point &stored)
    {
        if (stored.offset() == file.offset())
            return file.timeBase.isValid() ? file : stored;
        return stored.isLaterThan(file) ? stored : file;
    }

private:
    bool isPostgres() const;
    static bool hasEpoch(QSqlQuery &q);

    QString m_connection;
};
