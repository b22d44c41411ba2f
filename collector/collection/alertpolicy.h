#pragma once

#include "store/stationstats.h"

#include <QDateTime>
#include <QStringList>

// Which alert mails a station's latest statistics call for: failing for a
// number of visits in a row, clock beyond the limit, memory about to
// overwrite unread data, and once its recovery after a failing mail. No kind
// goes out twice for a station within the quiet time.
class AlertPolicy
{
public:
    static constexpr qint64 quietSeconds = 6 * 3600;

    // Kinds, also the keys of StationStats::lastAlert.
    static QString failing() { return QStringLiteral("failing"); }
    static QString clock() { return QStringLiteral("clock"); }
    static QString memory() { return QStringLiteral("memory"); }
    static QString recovered() { return QStringLiteral("recovered"); }

    explicit AlertPolicy(int failuresBeforeAlert = 3) : failuresBeforeAlert(failuresBeforeAlert) {}

    // The kinds due now; records them as sent in `stats`.
    QStringList due(StationStats &stats, bool lastVisitSucceeded, const QDateTime &now) const;

private:
    static bool quiet(const StationStats &stats, const QString &kind, const QDateTime &now);

    int failuresBeforeAlert;
};
