#pragma once

#include "collection/savedvalues.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <cmath>

// What one visit came to, for the statistics, the alerts and the metrics.
struct VisitReport
{
    enum Result { Success, NoConnection, WrongStation, DeviceError, SaveError, Interrupted };

    int id = 0;
    Result result = Success;
    QString reason; // the failure's status text
    bool wasRetry = false;
    // The retry the next visit will be (1-based), 0 when it is a regular one.
    int nextRetry = 0;
    int retryCount = 0;
    int nextTryMinutes = 0;
    int records = 0;
    qint64 bytes = 0;
    qint64 durationMs = 0;
    QDateTime ended;
    bool driftKnown = false;
    qint64 driftSeconds = 0;
    bool driftBeyondLimit = false;
    bool clockSet = false;
    // When a clock setting was sent during the visit, answered or not.
    QDateTime clockAttempt;
    // The device's memory fill in percent, NaN when it did not report it.
    double memoryFill = std::nan("");
    // The configuration the visit read (setup, channel names, calibrations),
    // and the fields that changed at the station since the last entry of its
    // history with nobody here uploading them (filled in by the monitor).
    QJsonObject configuration;
    // The model the device reports itself as ("TQM510").
    QString deviceType;
    bool configChecked = false;
    QStringList configChanges;
    // A clock setting sent during the visit: {"meant": setup, "answer":
    // "acknowledged" | "refused" | "unanswered", "readBack": setup}.
    QJsonObject clockUpload;
    // What the visit saved, for the completeness counts.
    SavedValues saved;
    // Value alarms its values raised or cleared (their mails wait in the store).
    int valueAlarms = 0;

    bool failed() const { return result != Success && result != Interrupted; }
};

Q_DECLARE_METATYPE(VisitReport)
