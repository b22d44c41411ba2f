#include "visitslots.h"

#include <QMetaObject>

void VisitSlots::setLimit(int limit)
{
    QMutexLocker lock(&mutex);
    max = limit;
    grantWaiting();
}

int VisitSlots::limit() const
{
    QMutexLocker lock(&mutex);
    return max;
}

bool VisitSlots::acquire(QObject *owner)
{
    QMutexLocker lock(&mutex);
    if (holders.contains(owner))
        return true;
    if (closed || line.contains(owner))
        return false;
    if (max <= 0 || (holders.size() < max && line.isEmpty())) {
        holders.insert(owner);
        highest = qMax(highest, int(holders.size()));
        return true;
    }
    line.append(owner);
    return false;
}

void VisitSlots::release(QObject *owner)
{
    QMutexLocker lock(&mutex);
    if (holders.remove(owner))
        grantWaiting();
}

void VisitSlots::cancel(QObject *owner)
{
    QMutexLocker lock(&mutex);
    line.removeOne(owner);
    if (holders.remove(owner))
        grantWaiting();
}

void VisitSlots::close()
{
    QMutexLocker lock(&mutex);
    closed = true;
}

void VisitSlots::grantWaiting()
{
    if (closed)
        return;
    // Under the mutex: an owner leaves the line (cancel) before it is
    // deleted, so whoever is called here still exists.
    while (!line.isEmpty() && (max <= 0 || holders.size() < max)) {
        QObject *next = line.takeFirst();
        holders.insert(next);
        highest = qMax(highest, int(holders.size()));
        QMetaObject::invokeMethod(next, "onVisitSlotGranted", Qt::QueuedConnection);
    }
}

int VisitSlots::inFlight() const
{
    QMutexLocker lock(&mutex);
    return holders.size();
}

int VisitSlots::waiting() const
{
    QMutexLocker lock(&mutex);
    return line.size();
}

int VisitSlots::peak() const
{
    QMutexLocker lock(&mutex);
    return highest;
}
