#pragma once

// Records as JSON objects, member names as the record fields: what `read`
// prints and what `upload --config` takes back.

#include "nexil/protocol/records.h"

#include <QJsonObject>
#include <QStringList>

namespace recordjson {

QJsonObject toJson(const DeviceIdentity &record);
QJsonObject toJson(const InstantData &record);
QJsonObject toJson(const SetupParameters &record);
QJsonObject toJson(const ChannelNames &record);
QJsonObject toJson(const ChannelCalibrations &record);
QJsonObject toJson(const AlarmParameters &record);
QJsonObject toJson(const FileInformations &record);

// Applies the members present in `object` over `record`. A list shorter than
// the record's changes only its first entries. False, with the offending
// member paths in *problems, when a member is unknown or of the wrong type;
// the record is then left unchanged.
bool apply(const QJsonObject &object, SetupParameters *record, QStringList *problems);
bool apply(const QJsonObject &object, ChannelNames *record, QStringList *problems);
bool apply(const QJsonObject &object, ChannelCalibrations *record, QStringList *problems);
bool apply(const QJsonObject &object, AlarmParameters *record, QStringList *problems);

} // namespace recordjson
