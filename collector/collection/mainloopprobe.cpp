#include "mainloopprobe.h"

#include "collectorlogging.h"

#include <QTimer>

MainLoopProbe::MainLoopProbe(QObject *parent) : QObject(parent)
{
    timer = new QTimer(this);
    // A coarse timer may fire up to 5 % early or late by design; a precise
    // one measures the loop, not the timer.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, &MainLoopProbe::onTick);
    clock.start();
    // Measured from the first pass of the loop: what the program does before
    // it enters its loop is no lag.
    QMetaObject::invokeMethod(
        this,
        [this] {
            lastTick = clock.elapsed();
            timer->start();
        },
        Qt::QueuedConnection);
}

void MainLoopProbe::setIntervalMs(int ms)
{
    intervalMs = qMax(1, ms);
    lastTick = clock.elapsed();
    timer->start(intervalMs);
}

void MainLoopProbe::onTick()
{
    const qint64 now = clock.elapsed();
    const qint64 lag = qMax<qint64>(0, now - lastTick - intervalMs);
    lastTick = now;
    if (lag >= 50)
        qCDebug(lcMonitor, "main loop %lld ms late", lag);
    const qint64 second = now / 1000;
    const int slot = int(second % 60);
    if (secondOf.at(slot) != second) {
        secondOf[slot] = second;
        worstMs[slot] = 0;
    }
    worstMs[slot] = qMax(worstMs.at(slot), lag);
    peakMs = qMax(peakMs, lag);
}

double MainLoopProbe::maxLagSeconds() const
{
    const qint64 second = clock.elapsed() / 1000;
    qint64 worst = 0;
    for (int i = 0; i < 60; ++i)
        if (secondOf.at(i) > second - 60)
            worst = qMax(worst, worstMs.at(i));
    return double(worst) / 1000.0;
}
