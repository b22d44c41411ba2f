#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>

// The statuses published by this collector and, on a shared store, by the
// others, for the event streams. Thread-safe: published on the main thread,
// read on the connections' threads. The same status of a station arriving
// twice (from the collector and from the store) is passed on once.
class WebEvents
{
public:
    struct Status
    {
        int id = 0;
        QString code, status;
        bool error = false;
        QString time; // "yyyy-MM-ddTHH:mm:ss"
        // Read from the store rather than published by this collector.
        bool fromStore = false;
    };

    void publish(const Status &status);

    struct Alarm
    {
        QString code;    // the station's
        int channel = 0; // the device slot
        QString kind;    // "high", "low", "rise"
        QString since;   // "yyyy-MM-ddTHH:mm", the raising value's time
        double value = 0;
    };
    // The value alarms up now, read from the store: an "alarm" event for
    // each one raised or cleared since the last call; the first call only
    // takes them in.
    void publishAlarms(const QList<Alarm> &up);
    // The sequence number the next event will carry.
    quint64 next() const;
    // Waits at most timeoutMs for events from `from` on and returns them as
    // an event-stream text ("" on a time-out or when closed); *from moves on.
    QByteArray waitFrom(quint64 *from, int timeoutMs);
    // Wakes every waiting stream for good (before the server stops).
    void close();
    // Wakes every waiting stream once, to look whether it should end.
    void wake();
    bool isClosed() const;

private:
    // With the lock held: keeps the event and drops the oldest beyond `keep`.
    void append(const QByteArray &event);

    static constexpr size_t keep = 1024;
    // A station this collector published within this time is its own.
    static constexpr qint64 ownStationMs = 300000;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> events; // the newest `keep` ones
    quint64 first = 0;             // sequence number of events.front()
    QHash<int, QString> lastOf;    // per station: status and time passed on
    // When this collector last published each station's status itself: the
    // store, which stores statuses a moment later, is not heard on it then.
    QHash<int, qint64> lastDirectMs;
    bool closed = false;
    quint64 wakes = 0;
    // The alarms up at the last look, by station, slot and kind.
    QHash<QString, Alarm> alarmsUp;
    bool alarmsKnown = false;
};
