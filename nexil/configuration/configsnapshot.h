#pragma once

#include "nexil/nexil_global.h"
#include "nexil/protocol/records.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// One difference between two configurations: the record ("setup",
// "channelNames", "calibrations", "alarms"), a readable field path
// ("stationName", "names[0]") and the two values (null where one side has
// no such entry).
struct NEXIL_EXPORT ConfigChange
{
    QString record;
    QString field;
    QJsonValue from;
    QJsonValue to;

    bool operator==(const ConfigChange &other) const
    {
        return record == other.record && field == other.field && from == other.from && to == other.to;
    }
    // "Channel 1 name: Seviye → Su Seviyesi"
    QString describe() const;
    // "Channel 1 name"
    QString label() const;
    static QString valueText(const QJsonValue &value);
};

// A device's configuration as far as it was read: only what an upload sets
// and the device keeps. The clock, the supply voltage, instant values,
// extremes and alarm events are not configuration and are left out; numbers
// are held as the device stores them, so that what was meant and what is
// read back compare equal.
class NEXIL_EXPORT ConfigSnapshot
{
public:
    static QString setupKey() { return QStringLiteral("setup"); }
    static QString namesKey() { return QStringLiteral("channelNames"); }
    static QString calibrationsKey() { return QStringLiteral("calibrations"); }
    static QString alarmsKey() { return QStringLiteral("alarms"); }
    // In the order the uploads go.
    static QStringList keys() { return {namesKey(), calibrationsKey(), setupKey(), alarmsKey()}; }

    void setSetup(const SetupParameters &record);
    void setNames(const ChannelNames &record);
    void setCalibrations(const ChannelCalibrations &record);
    void setAlarms(const AlarmParameters &record);

    bool has(const QString &key) const { return records.contains(key); }
    bool isEmpty() const { return records.isEmpty(); }
    QJsonObject record(const QString &key) const { return records.value(key).toObject(); }
    QStringList present() const;

    // {"setup": {...}, "channelNames": {...}, ...}; fromJson keeps only the
    // known records that are objects (the text may come from a store).
    QJsonObject toJson() const { return records; }
    static ConfigSnapshot fromJson(const QJsonObject &object);
    // The part holding only the records named.
    ConfigSnapshot only(const QStringList &keys) const;
    // These records over this one's (records not in `other` stay).
    ConfigSnapshot mergedWith(const ConfigSnapshot &other) const;

    // SHA-256 of the compact JSON, in hex: equal content, equal hash.
    QString hash() const;

    // Field by field, over the records both hold.
    static QList<ConfigChange> diff(const ConfigSnapshot &from, const ConfigSnapshot &to);
    static QList<ConfigChange> diffRecord(const QString &key, const QJsonObject &from, const QJsonObject &to);

    bool operator==(const ConfigSnapshot &other) const { return records == other.records; }
    bool operator!=(const ConfigSnapshot &other) const { return records != other.records; }

private:
    QJsonObject records;
};
