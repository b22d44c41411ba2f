#pragma once

#include "collection/valuealarms.h"
#include "store/stationstats.h"

#include <QDateTime>
#include <QStringList>

// Which alert mails a station's latest statistics call for: failing for a
// number of visits in a row, clock beyond the limit, memory about to
// overwrite unread data, and once its recovery after a delivered failing
// mail. A mail due is pending until the server accepted it; only then does
// it count. No kind goes out twice for a station within the quiet time.
class AlertPolicy
{
public:
    static constexpr qint64 quietSeconds = 6 * 3600;

    // Kinds, also the keys of StationStats::lastAlert.
    static QString failing() { return QStringLiteral("failing"); }
    static QString clock() { return QStringLiteral("clock"); }
    static QString memory() { return QStringLiteral("memory"); }
    static QString recovered() { return QStringLiteral("recovered"); }
    static QString configChanged() { return QStringLiteral("config"); }

    explicit AlertPolicy(int failuresBeforeAlert = 3) : failuresBeforeAlert(failuresBeforeAlert) {}

    // The kinds newly due now; adds them to the pending ones in `stats`, and
    // withdraws pending ones no longer true.
    QStringList due(StationStats &stats, bool lastVisitSucceeded, const QDateTime &now) const;
    // A mail of `kind` reached the server at `now`.
    static void delivered(StationStats &stats, const QString &kind, const QDateTime &now);

    // Value alarms: the key a channel's (slot's) alarm mail is remembered
    // by, raised and cleared apart.
    static QString alarmKind(int slot, ValueAlarms::Kind kind, bool raised);
    // Whether a value alarm's mail goes out: a raising one unless one of
    // the same channel and kind went out within the quiet time; a clearing
    // one only to whoever was told of the raising (not yet told of its
    // clearing), so the last mail always tells how things stand.
    static bool alarmMailDue(const StationStats &stats, int slot, ValueAlarms::Kind kind, bool raised,
                             const QDateTime &now);

private:
    static bool quiet(const StationStats &stats, const QString &kind, const QDateTime &now);

    int failuresBeforeAlert;
};
