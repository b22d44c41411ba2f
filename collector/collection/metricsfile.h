#pragma once

#include "store/stationstats.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThreadPool>

#include <functional>

class QTimer;

// The collection's figures in the text format a monitoring textfile
// collector reads, one labelled series per station code. The file is
// rewritten whole (atomically) on request, at most once per interval, and
// on a heartbeat.
class MetricsFile : public QObject
{
    Q_OBJECT
public:
    using Entry = QPair<QString, StationStats>; // station code, its statistics

    explicit MetricsFile(const QString &path, QObject *parent = nullptr);
    // Waits for a write still running.
    ~MetricsFile() override;

    // mainLoopLag: the largest lag of the main loop of the last minute in
    // seconds, negative when not measured; no heartbeat line for an invalid
    // heartbeat.
    static QString render(const QList<Entry> &stations, const QDateTime &heartbeat, double mainLoopLag = -1);
    static QString escapeLabel(const QString &value);

    // Shortest time between two writes (10 s), and the heartbeat period.
    void setMinIntervalMs(int ms) { minIntervalMs = ms; }
    void setHeartbeatMs(int ms);

    // The figures to write at the next write.
    void setStations(const QList<Entry> &stations) { entries = stations; }
    // Or asked for them when writing: a visit then costs nothing per station.
    void setSource(std::function<QList<Entry>()> source) { entriesSource = std::move(source); }
    // Where the main loop's lag comes from (none: not written).
    void setLagSource(std::function<double()> source) { lagSource = std::move(source); }
    // Writes when the last write is old enough, else once the interval has
    // passed; on a thread of its own, the figures as they are now.
    void requestWrite();
    // Writes now and here, whatever the interval (at the end of a run).
    bool writeNow();
    QString path() const { return filePath; }

signals:
    void writeFailed(QString reason);

private:
    void writeInBackground();
    // The figures as they are now, into entries; the lag is returned.
    double takeFigures();
    static bool write(const QString &path, const QList<Entry> &stations, double lag, QString *error);

    QString filePath;
    QList<Entry> entries;
    std::function<QList<Entry>()> entriesSource;
    std::function<double()> lagSource;
    int minIntervalMs = 10000;
    QElapsedTimer sinceWrite;
    QTimer *delayed = nullptr;
    QTimer *heartbeat = nullptr;
    // Thousands of stations take tens of milliseconds to render and sync.
    QThreadPool pool;
    bool writing = false;
    bool writeAgain = false;
};
