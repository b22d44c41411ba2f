#include "nexil/configuration/configsnapshot.h"

#include "nexil/configuration/recordjson.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

namespace {

QJsonObject pick(const QJsonObject &from, const QStringList &names)
{
    QJsonObject out;
    for (const QString &name : names)
        out.insert(name, from.value(name));
    return out;
}

// Numbers as the upload writes them: calibrations with six significant
// digits, alarm limits with four decimals.
QJsonArray rounded(const QList<float> &values, char format, int precision)
{
    QJsonArray out;
    for (const float v : values)
        out.append(QString::number(double(v), format, precision).toDouble());
    return out;
}

QJsonArray integers(const QList<int> &values)
{
    QJsonArray out;
    for (const int v : values)
        out.append(v);
    return out;
}

QString text(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 10);
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QCoreApplication::translate("ConfigChange", "(none)");
    default:
        return QString::fromUtf8(
            QJsonDocument::fromVariant(value.toVariant()).toJson(QJsonDocument::Compact));
    }
}

QString label(const QString &record, const QString &field)
{
    static const QRegularExpression indexed(QStringLiteral("^(\\w+)\\[(\\d+)\\]$"));
    const QRegularExpressionMatch m = indexed.match(field);
    if (!m.hasMatch()) {
        if (field == QLatin1String("stationName"))
            return QCoreApplication::translate("ConfigChange", "Station name");
        if (field == QLatin1String("stationCode"))
            return QCoreApplication::translate("ConfigChange", "Station code");
        if (field == QLatin1String("dayStart"))
            return QCoreApplication::translate("ConfigChange", "Start of day");
        return field;
    }
    const QString name = m.captured(1);
    const int n = m.captured(2).toInt() + 1;
    if (record == ConfigSnapshot::alarmsKey()) {
        if (name == QLatin1String("maximums"))
            return QCoreApplication::translate("ConfigChange", "Alarm %1 maximum").arg(n);
        if (name == QLatin1String("minimums"))
            return QCoreApplication::translate("ConfigChange", "Alarm %1 minimum").arg(n);
        return QCoreApplication::translate("ConfigChange", "Alarm %1 %2").arg(n).arg(name);
    }
    if (name == QLatin1String("names"))
        return QCoreApplication::translate("ConfigChange", "Channel %1 name").arg(n);
    if (name == QLatin1String("channelStates"))
        return QCoreApplication::translate("ConfigChange", "Channel %1 state").arg(n);
    if (name == QLatin1String("units"))
        return QCoreApplication::translate("ConfigChange", "Channel %1 unit").arg(n);
    return QCoreApplication::translate("ConfigChange", "Channel %1 %2").arg(n).arg(name);
}

} // namespace

QString ConfigChange::describe() const
{
    return QStringLiteral("%1: %2 → %3").arg(label(), text(from), text(to));
}

QString ConfigChange::label() const
{
    return ::label(record, field);
}

QString ConfigChange::valueText(const QJsonValue &value)
{
    return text(value);
}

void ConfigSnapshot::setSetup(const SetupParameters &record)
{
    records.insert(setupKey(), pick(recordjson::toJson(record),
                                    {"stationName", "stationCode", "region", "basin", "stationNo", "dayStart",
                                     "setupDigitA", "rs485Output", "sensorOnOffTime", "sensorWaitTime",
                                     "waitForExactHour", "setupDigitC"}));
}

void ConfigSnapshot::setNames(const ChannelNames &record)
{
    QJsonObject out =
        pick(recordjson::toJson(record), {"recordIntervals", "names", "codes", "minMaxTypes", "recordTypes"});
    // Slots beyond the model's count are sent as off, whatever the record holds.
    QList<int> states = record.channelStates;
    for (int i = qMax(0, record.channelCount); i < states.size(); ++i)
        states[i] = 0;
    out.insert(QStringLiteral("channelStates"), integers(states));
    records.insert(namesKey(), out);
}

void ConfigSnapshot::setCalibrations(const ChannelCalibrations &record)
{
    QJsonObject out;
    out.insert(QStringLiteral("units"), QJsonArray::fromStringList(record.units));
    out.insert(QStringLiteral("minVoltages"), rounded(record.minVoltages, 'g', 6));
    out.insert(QStringLiteral("gains"), rounded(record.gains, 'g', 6));
    out.insert(QStringLiteral("maxValues"), rounded(record.maxValues, 'g', 6));
    out.insert(QStringLiteral("minValues"), rounded(record.minValues, 'g', 6));
    out.insert(QStringLiteral("offsets"), rounded(record.offsets, 'g', 6));
    out.insert(QStringLiteral("multipliers"), integers(record.multipliers));
    out.insert(QStringLiteral("measurementTypes"), integers(record.measurementTypes));
    records.insert(calibrationsKey(), out);
}

void ConfigSnapshot::setAlarms(const AlarmParameters &record)
{
    QJsonObject out;
    out.insert(QStringLiteral("maximums"), rounded(record.maximums, 'f', 4));
    out.insert(QStringLiteral("minimums"), rounded(record.minimums, 'f', 4));
    out.insert(QStringLiteral("maximumResets"), rounded(record.maximumResets, 'f', 4));
    out.insert(QStringLiteral("minimumResets"), rounded(record.minimumResets, 'f', 4));
    // Entries 0-3 are the per-alarm switches, which a read derives from the
    // maximums; entries 4-8 are flags the device keeps as sent.
    QJsonArray flags;
    for (int i = 4; i < qMin(9, int(record.alarmFlags.size())); ++i)
        flags.append(record.alarmFlags.at(i));
    out.insert(QStringLiteral("flags"), flags);
    records.insert(alarmsKey(), out);
}

QStringList ConfigSnapshot::present() const
{
    QStringList out;
    for (const QString &key : keys())
        if (records.contains(key))
            out << key;
    return out;
}

ConfigSnapshot ConfigSnapshot::fromJson(const QJsonObject &object)
{
    ConfigSnapshot out;
    for (const QString &key : keys())
        if (object.value(key).isObject())
            out.records.insert(key, object.value(key));
    return out;
}

ConfigSnapshot ConfigSnapshot::only(const QStringList &wanted) const
{
    ConfigSnapshot out;
    for (const QString &key : wanted)
        if (records.contains(key))
            out.records.insert(key, records.value(key));
    return out;
}

ConfigSnapshot ConfigSnapshot::mergedWith(const ConfigSnapshot &other) const
{
    ConfigSnapshot out = *this;
    for (auto it = other.records.begin(); it != other.records.end(); ++it)
        out.records.insert(it.key(), it.value());
    return out;
}

QString ConfigSnapshot::hash() const
{
    return QString::fromLatin1(QCryptographicHash::hash(QJsonDocument(records).toJson(QJsonDocument::Compact),
                                                        QCryptographicHash::Sha256)
                                   .toHex());
}

QList<ConfigChange> ConfigSnapshot::diffRecord(const QString &key, const QJsonObject &from,
                                               const QJsonObject &to)
{
    QList<ConfigChange> out;
    QStringList fields = from.keys();
    for (const QString &f : to.keys())
        if (!fields.contains(f))
            fields << f;
    for (const QString &field : qAsConst(fields)) {
        const QJsonValue a = from.value(field);
        const QJsonValue b = to.value(field);
        if (a == b)
            continue;
        if (a.isArray() && b.isArray()) {
            const QJsonArray x = a.toArray();
            const QJsonArray y = b.toArray();
            for (int i = 0; i < qMax(x.size(), y.size()); ++i) {
                const QJsonValue u = i < x.size() ? x.at(i) : QJsonValue();
                const QJsonValue v = i < y.size() ? y.at(i) : QJsonValue();
                if (u != v)
                    out.append({key, QStringLiteral("%1[%2]").arg(field).arg(i), u, v});
            }
            continue;
        }
        out.append({key, field, a.isUndefined() ? QJsonValue() : a, b.isUndefined() ? QJsonValue() : b});
    }
    return out;
}

QList<ConfigChange> ConfigSnapshot::diff(const ConfigSnapshot &from, const ConfigSnapshot &to)
{
    QList<ConfigChange> out;
    for (const QString &key : keys()) {
        if (from.has(key) && to.has(key))
            out += diffRecord(key, from.record(key), to.record(key));
    }
    return out;
}
