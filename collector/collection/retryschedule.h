#pragma once

#include <QList>

// When a station is tried again after failed visits: the tiers (in minutes)
// one after the other, each held to the regular period, then the regular
// period; a successful visit starts over from the first tier.
class RetrySchedule
{
public:
    explicit RetrySchedule(QList<int> tierMinutes = {2, 5, 15}) : tiers(std::move(tierMinutes)) {}

    void setTiers(const QList<int> &tierMinutes) { tiers = tierMinutes; }
    int tierCount() const { return int(tiers.size()); }

    // A visit failed: minutes until the next try.
    int onFailure(int periodMinutes)
    {
        ++failures;
        const int period = qMax(1, periodMinutes);
        if (failures > tiers.size()) {
            retry = 0;
            return period;
        }
        retry = failures;
        return qMin(tiers.at(failures - 1), period);
    }
    void onSuccess()
    {
        failures = 0;
        retry = 0;
    }

    // 1 ... tierCount() when the next visit is a retry, 0 when it is a
    // regular one.
    int pendingRetry() const { return retry; }
    int consecutiveFailures() const { return failures; }

private:
    QList<int> tiers;
    int failures = 0;
    int retry = 0;
};
