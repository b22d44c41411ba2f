#pragma once

#include <QDateTime>
#include <QString>

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
        // Further into the device's memory.
        bool isLaterThan(const Point &other) const
        {
            return qint64(page) * 512 + buffer > qint64(other.page) * 512 + other.buffer;
        }
    };

    // connection: a QSqlDatabase connection name (empty: the default one).
    explicit ResumePoints(const QString &connection = QString());

    bool createTable();
    // Kept with the file it was saved into, for the operator's eyes.
    bool store(int stationId, const Point &point, const QString &file);
    // False when the store failed; an unknown station gives an invalid point.
    // file: the name of the file it was saved into.
    bool load(int stationId, Point *point, QString *file = nullptr);

    // The later of the file's point and the store's.
    static Point later(const Point &file, const Point &stored)
    {
        return stored.isLaterThan(file) ? stored : file;
    }

private:
    QString m_connection;
};
