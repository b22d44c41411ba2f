#pragma once

// Records as JSON objects, member names as the record fields: what the
// command-line tool prints and takes back, and what the configuration
// history keeps.

#include "nexil/nexil_global.h"
#include "nexil/protocol/records.h"

#include <QJsonObject>
#include <QStringList>

namespace recordjson {

NEXIL_EXPORT QJsonObject toJson(const DeviceIdentity &record);
NEXIL_EXPORT QJsonObject toJson(const InstantData &record);
NEXIL_EXPORT QJsonObject toJson(const SetupParameters &record);
NEXIL_EXPORT QJsonObject toJson(const ChannelNames &record);
NEXIL_EXPORT QJsonObject toJson(const ChannelCalibrations &record);
NEXIL_EXPORT QJsonObject toJson(const AlarmParameters &record);
NEXIL_EXPORT QJsonObject toJson(const FileInformations &record);

// Applies the members present in `object` over `record`. A list shorter than
// the record's changes only its first entries. False, with the offending
// member paths in *problems, when a member is unknown or of the wrong type;
// the record is then left unchanged.
NEXIL_EXPORT bool apply(const QJsonObject &object, SetupParameters *record, QStringList *problems);
NEXIL_EXPORT bool apply(const QJsonObject &object, ChannelNames *record, QStringList *problems);
NEXIL_EXPORT bool apply(const QJsonObject &object, ChannelCalibrations *record, QStringList *problems);
NEXIL_EXPORT bool apply(const QJsonObject &object, AlarmParameters *record, QStringList *problems);

} // namespace recordjson
