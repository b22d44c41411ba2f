#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>

// Shared by every worker: at most `limit` visits in flight at once. A worker
// takes a slot before it connects and gives it back when the visit ends;
// one that finds none free waits in line and is called on its slot
// onVisitSlotGranted() (queued, on its own thread) once one is its.
class VisitSlots
{
public:
    // 0 or less: no limit.
    explicit VisitSlots(int limit = 0) : max(limit) {}

    void setLimit(int limit);
    int limit() const;
    // True when the owner holds a slot (now or already); else it waits in
    // line (once, however often it asks).
    bool acquire(QObject *owner);
    // Gives the owner's slot back, to the first in line if any.
    void release(QObject *owner);
    // The owner ends: its slot given back, its place in line given up.
    void cancel(QObject *owner);
    // The collection stops: no slot is handed out any more, so that a worker
    // whose stop is still on its way does not start a visit.
    void close();

    int inFlight() const;
    int waiting() const;
    // Most slots held at once so far.
    int peak() const;

private:
    void grantWaiting();

    mutable QMutex mutex;
    int max = 0;
    int highest = 0;
    bool closed = false;
    QSet<QObject *> holders;
    QList<QObject *> line;
};
