#include "memorytrim.h"

#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

MemoryTrim::MemoryTrim(QObject *parent) : QObject(parent)
{
    pool.setMaxThreadCount(1);
    timer = new QTimer(this);
    timer->setInterval(10000);
    connect(timer, &QTimer::timeout, this, &MemoryTrim::onTimeout);
    timer->start();
}

void MemoryTrim::setIntervalMs(int ms)
{
    timer->start(qMax(1, ms));
}

bool MemoryTrim::trim()
{
#ifdef __GLIBC__
    // Every arena, not only the main one; a few milliseconds at most.
    malloc_trim(0);
    return true;
#else
    return false;
#endif
}

MemoryTrim::~MemoryTrim()
{
    pool.waitForDone();
}

void MemoryTrim::onTimeout()
{
    if (!dirty || pool.activeThreadCount() > 0)
        return;
    dirty = false;
    // Walking the arenas of hundreds of workers takes tens of milliseconds:
    // not on the main loop.
    pool.start([this] {
        if (trim())
            ++count;
    });
}
