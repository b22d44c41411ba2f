#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <functional>

// The workers' saves take turns, twice as many at once as the machine has
// cores.
// Reading, rewriting and converting a data file keeps a core busy; dozens of
// them at once on two cores left each lock they hold (the allocator's, which
// the main thread shares) waiting for the holder's next time slice, and the
// main loop with it.
class SaveTurns
{
public:
    // The one all workers of this process share.
    static SaveTurns &shared();

    explicit SaveTurns(int limit = 0);
    // 0 or less: twice as many as the machine has cores.
    void setLimit(int limit);
    int limit() const;
    // Waits for a turn; false, without one, once `cancelled` says so.
    bool take(const std::function<bool()> &cancelled = {});
    void give();
    int taken() const;
    // Most turns out at once so far.
    int peak() const;

private:
    mutable QMutex mutex;
    QWaitCondition freed;
    int max = 1;
    int out = 0;
    int highest = 0;
};
