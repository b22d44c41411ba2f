#pragma once

#include <QDateTime>

// Compares a device's clock with the host's and decides when the collector
// may set it: only when the operator allowed it, the drift is beyond the
// limit and the last setting is a day old.
class ClockCheck
{
public:
    struct Verdict
    {
        qint64 driftSeconds = 0; // device minus host
        bool beyondLimit = false;
        bool syncNow = false;
    };

    void setLimitSeconds(int seconds) { limit = seconds; }
    int limitSeconds() const { return limit; }
    void setSyncEnabled(bool enabled) { sync = enabled; }

    Verdict evaluate(const QDateTime &device, const QDateTime &host) const;
    // A setting was tried (successful or not): no other for a day.
    void markSyncTried(const QDateTime &host) { lastSync = host; }
    QDateTime lastSyncTried() const { return lastSync; }

private:
    int limit = 120;
    bool sync = false;
    QDateTime lastSync;
};
