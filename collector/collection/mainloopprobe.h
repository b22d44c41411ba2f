#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QVector>

class QTimer;

// Measures how late the thread's event loop runs: a timer that should fire
// every interval notes by how much it came late. Each second's worst is
// kept for a minute.
class MainLoopProbe : public QObject
{
    Q_OBJECT
public:
    explicit MainLoopProbe(QObject *parent = nullptr);

    // Period of the probe (100 ms); tests shorten it.
    void setIntervalMs(int ms);
    // The largest lag of the last minute, in seconds.
    double maxLagSeconds() const;
    // The largest lag since the probe started.
    double peakLagSeconds() const { return double(peakMs) / 1000.0; }

private:
    void onTick();

    QTimer *timer = nullptr;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    int intervalMs = 100;
    // Worst lag per second of the last minute, by second modulo 60.
    QVector<qint64> worstMs = QVector<qint64>(60, 0);
    QVector<qint64> secondOf = QVector<qint64>(60, -1);
    qint64 peakMs = 0;
};
