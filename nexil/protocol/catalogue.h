#pragma once

#include "nexil/nexil_global.h"
#include "records.h"

#include <QList>
#include <QPair>
#include <QStringList>

// The device vocabulary: model names and descriptions, value kinds, channel
// codes with their descriptions and units. Built once per Nexil object (each
// object, on whatever thread, has its own copy) and never changed.
class NEXIL_EXPORT Catalogue
{
public:
    Catalogue();

    QString deviceTypeName(DeviceType type) const;
    QString deviceTypeDescription(DeviceType type) const;
    QString valueTypeName(ValueType type) const;
    QString channelCodeName(ChannelCode code) const;
    QString channelCodeDescription(ChannelCode code) const;
    QStringList channelCodeNames() const { return codeNames; }
    QStringList channelCodeDescriptions() const { return codeDescriptions; }
    QStringList channelCodeUnits(ChannelCode code) const;

    DeviceType deviceType(const QString &name) const;
    ValueType valueType(const QString &name) const;
    ChannelCode channelCode(const QString &name) const;

    // Channel slots of a model; 0 outside the known models.
    static int channelCount(int deviceType);

private:
    QStringList typeNames;
    QStringList typeDescriptions;
    QStringList valueNames;
    QStringList codeNames;
    QStringList codeDescriptions;
    QList<QPair<int, QString>> units;
};
