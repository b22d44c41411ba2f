#pragma once

// Pure decoders of the device's text records: payload bytes (checksum
// included, header and trailing CRs removed) in, records out.

#include "nexil/nexil_global.h"
#include "records.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace decode {

enum class Result {
    Ok,
    ChecksumError, // payload CRC mismatch
    Malformed,     // fewer fields or bytes than the record's counts require
};

// Checks the payload's trailing CRC and splits the rest at 0x02.
NEXIL_EXPORT Result fields(const QByteArray &payload, QList<QByteArray> *out);

// Date texts: two-digit years land in 2000-2099; "00/00/00 00:00" and
// anything unparsable give an invalid QDateTime.
NEXIL_EXPORT QDateTime deviceDateTime(const QByteArray &text, const QString &format);

NEXIL_EXPORT Result deviceIdentity(const DeviceHeader &header, const QByteArray &payload,
                                   DeviceIdentity *out);
NEXIL_EXPORT Result instantData(const DeviceHeader &header, const QByteArray &payload,
                                const QDateTime &receivedAt, InstantData *out);
NEXIL_EXPORT Result fileInformations(const DeviceHeader &header, const QByteArray &payload,
                                     FileInformations *out);
NEXIL_EXPORT Result setupParameters(const DeviceHeader &header, const QByteArray &payload,
                                    const QDateTime &receivedAt, SetupParameters *out);
NEXIL_EXPORT Result channelCalibrations(const DeviceHeader &header, const QByteArray &payload,
                                        ChannelCalibrations *out);
NEXIL_EXPORT Result channelNames(const DeviceHeader &header, const QByteArray &payload, ChannelNames *out);
NEXIL_EXPORT Result alarmParameters(const DeviceHeader &header, const QByteArray &payload,
                                    AlarmParameters *out);

} // namespace decode
