#pragma once

// Pure encoders of the upload bodies: a record in, the bytes between the
// command letters and the closing CR out. A record whose lists are shorter
// than the body needs is refused (false, with the missing list named), so
// nothing is ever read past a list.

#include "nexil/nexil_global.h"
#include "nexil/protocol/records.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace upload {

// STX letters body CR, CRC16 over everything after STX, CR CR CR.
NEXIL_EXPORT QByteArray frame(const char *letters, const QByteArray &body);

NEXIL_EXPORT QByteArray passwordBody(const QString &current, const QString &next);
NEXIL_EXPORT QByteArray factoryDefaultsBody(const QString &password);
// `now` is the host's clock, sent to set the device's.
NEXIL_EXPORT QByteArray setupBody(const QString &password, const SetupParameters &setup,
                                  const QDateTime &now);
NEXIL_EXPORT bool channelNamesBody(const QString &password, const ChannelNames &names, QByteArray *body,
                                   QString *missing);
NEXIL_EXPORT bool calibrationsBody(const QString &password, const ChannelCalibrations &calibrations,
                                   QByteArray *body, QString *missing);
NEXIL_EXPORT bool alarmBody(const AlarmParameters &alarms, QByteArray *body, QString *missing);

// "%g" with six significant digits, point as the decimal separator.
NEXIL_EXPORT QByteArray g6(float value);

} // namespace upload
