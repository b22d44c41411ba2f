#pragma once

// A data file as the chart viewer draws it, read in one streaming pass: the
// station name, the channel list, and per channel its instant values and
// daily minima and maxima at their local times. A year of values then costs
// a few megabytes instead of a document of well over a gigabyte, and every
// chart built afterwards selects its points from memory.

#include <QPointF>
#include <QString>
#include <QVector>

class QIODevice;

struct ChartChannel
{
    int id = 0;
    QString name;
    QString unit;
};

class ChartFile
{
public:
    enum Status { Empty, Loaded, Unreadable, Malformed };
    enum Kind { Instant, DailyMinimum, DailyMaximum };

    // Unreadable: the file could not be opened. Malformed: it is not
    // well-formed XML; nothing of it is kept.
    static ChartFile read(const QString &path);
    static ChartFile read(QIODevice *device);

    Status status() const { return m_status; }
    // Why the file could not be read, for the command line.
    QString errorString() const { return m_error; }
    QString stationName() const { return m_stationName; }
    // The `channel` elements under the setup, in document order.
    QVector<ChartChannel> channels() const { return m_channels; }

    // The points of the lines under /device/data whose channel attribute is
    // the id and whose type is the kind, in document order: x is the local
    // time in milliseconds since the epoch, y the value. Sensor error markers
    // (-9999, -8888) are left out on request. Lines whose date, time or value
    // cannot be read are never drawn.
    QVector<QPointF> points(int channelId, Kind kind, bool skipSensorErrors = false) const;

    static bool isSensorError(float value) { return value == -9999.0f || value == -8888.0f; }

private:
    friend class ChartFileReader;

    struct Value
    {
        qint64 msecs;
        float value;
    };
    struct Series
    {
        QString channel;
        QVector<Value> values[3];
    };

    Status m_status = Empty;
    QString m_error;
    QString m_stationName;
    QVector<ChartChannel> m_channels;
    QVector<Series> m_series;
};
