#include "saveturns.h"

#include <QThread>

SaveTurns &SaveTurns::shared()
{
    static SaveTurns turns;
    return turns;
}

SaveTurns::SaveTurns(int limit)
{
    setLimit(limit);
}

void SaveTurns::setLimit(int limit)
{
    QMutexLocker lock(&mutex);
    // A save also waits for the disk (each file is synced): twice as many
    // as cores keep both busy.
    max = limit > 0 ? limit : qMax(1, 2 * QThread::idealThreadCount());
    freed.wakeAll();
}

int SaveTurns::limit() const
{
    QMutexLocker lock(&mutex);
    return max;
}

bool SaveTurns::take(const std::function<bool()> &cancelled)
{
    QMutexLocker lock(&mutex);
    while (out >= max) {
        // Woken by a turn given back; looked at now and then for a stop.
        if (cancelled && cancelled())
            return false;
        freed.wait(&mutex, 50);
    }
    highest = qMax(highest, ++out);
    return true;
}

void SaveTurns::give()
{
    QMutexLocker lock(&mutex);
    --out;
    freed.wakeOne();
}

int SaveTurns::taken() const
{
    QMutexLocker lock(&mutex);
    return out;
}

int SaveTurns::peak() const
{
    QMutexLocker lock(&mutex);
    return highest;
}
