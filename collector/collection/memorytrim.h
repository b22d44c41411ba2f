#pragma once

#include <QObject>
#include <QThreadPool>

#include <atomic>

class QTimer;

// Gives the allocator's free pages back to the system after visits. Each
// visit's buffers are freed on its worker's thread, in that thread's arena;
// the pages between live blocks stay with the process and, as the visits
// wander over the arenas, the resident size creeps up round after round.
class MemoryTrim : public QObject
{
    Q_OBJECT
public:
    explicit MemoryTrim(QObject *parent = nullptr);
    // Waits for a trim still running.
    ~MemoryTrim() override;

    // Shortest time between two trims (10 s); tests shorten it.
    void setIntervalMs(int ms);
    // A visit ended: its buffers are free now.
    void visitEnded() { dirty = true; }
    // Trims now, on the calling thread; false where the allocator cannot.
    static bool trim();
    int trims() const { return count.load(); }

    // The allocator's settings (GLIBC_TUNABLES) this program runs with, or
    // an empty text when `current` already chooses the thread caches.
    static QByteArray tunables(const QByteArray &current);
    // Starts this program again in its own process, with the same arguments
    // and environment and the tunables above, unless they are set already
    // or it cannot; returns when it did not. The first thing of main().
    static void restartWithTunables(char **argv);

private:
    void onTimeout();

    QTimer *timer = nullptr;
    bool dirty = false;
    std::atomic<int> count{0};
    QThreadPool pool;
};
