#include "nexil/configuration/recordjson.h"

#include <QJsonArray>
#include <QLocale>

#include <charconv>
#include <functional>

namespace recordjson {

namespace {

const QString dateTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// One record member: how it reads into and out of JSON.
template<typename R> struct Field
{
    QString name;
    std::function<QJsonValue(const R &)> get;
    std::function<bool(R &, const QJsonValue &, const QString &path, QStringList *)> set;
};

template<typename R> const QList<Field<R>> &fields();

template<typename R> QJsonObject objectOf(const R &record)
{
    QJsonObject out;
    for (const Field<R> &f : fields<R>())
        out.insert(f.name, f.get(record));
    return out;
}

template<typename R>
bool applyObject(const QJsonObject &object, R *record, const QString &path, QStringList *problems)
{
    R copy = *record;
    bool ok = true;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString memberPath = path.isEmpty() ? it.key() : path + '.' + it.key();
        bool known = false;
        for (const Field<R> &f : fields<R>()) {
            if (f.name == it.key()) {
                known = true;
                if (!f.set(copy, it.value(), memberPath, problems))
                    ok = false;
                break;
            }
        }
        if (!known) {
            problems->append(memberPath + QStringLiteral(": unknown member"));
            ok = false;
        }
    }
    if (ok)
        *record = copy;
    return ok;
}

// Conversions of the member types.
QJsonValue value(const QString &v)
{
    return v;
}
QJsonValue value(int v)
{
    return v;
}
// The shortest text that reads back as the same float, so 11.2 prints as 11.2.
QJsonValue value(float v)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, v);
    return QByteArray(text, int(result.ptr - text)).toDouble();
}
QJsonValue value(bool v)
{
    return v;
}
QJsonValue value(const QDateTime &v)
{
    // ASCII digits for scripts, whatever the user's locale.
    return v.isValid() ? QJsonValue(QLocale::c().toString(v, dateTimeFormat)) : QJsonValue();
}
template<typename E, typename = std::enable_if_t<std::is_enum<E>::value>> QJsonValue value(E v)
{
    return int(v);
}
QJsonValue value(const DeviceHeader &v)
{
    return objectOf(v);
}
QJsonValue value(const InstantValue &v)
{
    return objectOf(v);
}
QJsonValue value(const AlarmEvent &v)
{
    return objectOf(v);
}
QJsonValue value(const FileInformation &v)
{
    return objectOf(v);
}
template<typename T> QJsonValue value(const QList<T> &list)
{
    QJsonArray out;
    for (const T &item : list)
        out.append(value(item));
    return out;
}
QJsonValue value(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

bool read(const QJsonValue &v, QString *out)
{
    if (!v.isString())
        return false;
    *out = v.toString();
    return true;
}
bool read(const QJsonValue &v, int *out)
{
    if (!v.isDouble() || v.toDouble() != double(v.toInt()))
        return false;
    *out = v.toInt();
    return true;
}
bool read(const QJsonValue &v, float *out)
{
    if (!v.isDouble())
        return false;
    *out = float(v.toDouble());
    return true;
}
bool read(const QJsonValue &v, bool *out)
{
    if (!v.isBool())
        return false;
    *out = v.toBool();
    return true;
}
bool read(const QJsonValue &v, QDateTime *out)
{
    if (v.isNull()) {
        *out = QDateTime();
        return true;
    }
    const QDateTime parsed = QDateTime::fromString(v.toString(), dateTimeFormat);
    if (!parsed.isValid())
        return false;
    *out = parsed;
    return true;
}
template<typename E, typename = std::enable_if_t<std::is_enum<E>::value>>
bool read(const QJsonValue &v, E *out)
{
    int n = 0;
    if (!read(v, &n))
        return false;
    *out = E(n);
    return true;
}
template<typename T> bool read(const QJsonValue &v, QList<T> *out);
bool read(const QJsonValue &v, QStringList *out)
{
    QList<QString> list;
    if (!read(v, &list))
        return false;
    *out = list;
    return true;
}

template<typename R> bool readRecord(const QJsonValue &v, R *out, const QString &path, QStringList *problems)
{
    if (!v.isObject())
        return false;
    return applyObject(v.toObject(), out, path, problems);
}

template<typename T> bool readItem(const QJsonValue &v, T *out, const QString &, QStringList *)
{
    return read(v, out);
}
bool readItem(const QJsonValue &v, InstantValue *out, const QString &path, QStringList *problems)
{
    return readRecord(v, out, path, problems);
}
bool readItem(const QJsonValue &v, AlarmEvent *out, const QString &path, QStringList *problems)
{
    return readRecord(v, out, path, problems);
}
bool readItem(const QJsonValue &v, FileInformation *out, const QString &path, QStringList *problems)
{
    return readRecord(v, out, path, problems);
}
bool readItem(const QJsonValue &v, DeviceHeader *out, const QString &path, QStringList *problems)
{
    return readRecord(v, out, path, problems);
}

template<typename T>
bool readList(const QJsonValue &v, QList<T> *out, const QString &path, QStringList *problems)
{
    if (!v.isArray())
        return false;
    QList<T> list;
    const QJsonArray array = v.toArray();
    for (int i = 0; i < array.size(); ++i) {
        T item{};
        if (!readItem(array.at(i), &item, QStringLiteral("%1[%2]").arg(path).arg(i), problems))
            return false;
        list.append(item);
    }
    *out = list;
    return true;
}

template<typename T> bool read(const QJsonValue &v, QList<T> *out)
{
    QStringList ignored;
    return readList(v, out, QString(), &ignored);
}

template<typename T> bool readMember(const QJsonValue &v, T *out, const QString &path, QStringList *problems)
{
    return readItem(v, out, path, problems);
}
// A shorter list changes the entries it gives; the others keep their values.
template<typename T> void mergeInto(const QList<T> &given, QList<T> *out)
{
    for (int i = 0; i < given.size(); ++i) {
        if (i < out->size())
            (*out)[i] = given.at(i);
        else
            out->append(given.at(i));
    }
}
template<typename T>
bool readMember(const QJsonValue &v, QList<T> *out, const QString &path, QStringList *problems)
{
    QList<T> given;
    if (!readList(v, &given, path, problems))
        return false;
    mergeInto(given, out);
    return true;
}
bool readMember(const QJsonValue &v, QStringList *out, const QString &, QStringList *)
{
    QStringList given;
    if (!read(v, &given))
        return false;
    mergeInto<QString>(given, out);
    return true;
}

template<typename R, typename T> Field<R> field(const char *name, T R::*member)
{
    return Field<R>{QString::fromLatin1(name), [member](const R &r) { return value(r.*member); },
                    [member](R &r, const QJsonValue &v, const QString &path, QStringList *problems) {
                        const int before = problems->size();
                        if (readMember(v, &(r.*member), path, problems))
                            return true;
                        if (problems->size() == before)
                            problems->append(path + QStringLiteral(": wrong type"));
                        return false;
                    }};
}

#define FIELD(R, name) field(#name, &R::name)
#define STATION(R)                                                                                           \
    FIELD(R, stationName), FIELD(R, stationCode), FIELD(R, region), FIELD(R, basin), FIELD(R, stationNo)

template<> const QList<Field<DeviceHeader>> &fields()
{
    static const QList<Field<DeviceHeader>> list = {
        FIELD(DeviceHeader, command),         FIELD(DeviceHeader, serialNumber),
        FIELD(DeviceHeader, deviceName),      FIELD(DeviceHeader, deviceType),
        FIELD(DeviceHeader, deviceTypeName),  FIELD(DeviceHeader, deviceTypeDescription),
        FIELD(DeviceHeader, firmwareVersion), FIELD(DeviceHeader, dataLength),
        FIELD(DeviceHeader, reserved)};
    return list;
}

template<> const QList<Field<InstantValue>> &fields()
{
    static const QList<Field<InstantValue>> list = {FIELD(InstantValue, label), FIELD(InstantValue, value),
                                                    FIELD(InstantValue, unit), FIELD(InstantValue, dateTime),
                                                    FIELD(InstantValue, valueType)};
    return list;
}

template<> const QList<Field<AlarmEvent>> &fields()
{
    static const QList<Field<AlarmEvent>> list = {FIELD(AlarmEvent, channel), FIELD(AlarmEvent, valueType),
                                                  FIELD(AlarmEvent, dateTime), FIELD(AlarmEvent, value)};
    return list;
}

template<> const QList<Field<FileInformation>> &fields()
{
    static const QList<Field<FileInformation>> list = {
        FIELD(FileInformation, date),        FIELD(FileInformation, startPage),
        FIELD(FileInformation, startBuffer), FIELD(FileInformation, endPage),
        FIELD(FileInformation, endBuffer),   FIELD(FileInformation, size)};
    return list;
}

template<> const QList<Field<DeviceIdentity>> &fields()
{
    static const QList<Field<DeviceIdentity>> list = {FIELD(DeviceIdentity, header), STATION(DeviceIdentity)};
    return list;
}

template<> const QList<Field<InstantData>> &fields()
{
    static const QList<Field<InstantData>> list = {
        FIELD(InstantData, header),         STATION(InstantData),
        FIELD(InstantData, deviceTime),     FIELD(InstantData, supplyVoltage),
        FIELD(InstantData, channelCount),   FIELD(InstantData, activeChannelCount),
        FIELD(InstantData, activeChannels), FIELD(InstantData, values)};
    return list;
}

template<> const QList<Field<SetupParameters>> &fields()
{
    static const QList<Field<SetupParameters>> list = {
        FIELD(SetupParameters, header),           STATION(SetupParameters),
        FIELD(SetupParameters, deviceTime),       FIELD(SetupParameters, supplyVoltage),
        FIELD(SetupParameters, channelCount),     FIELD(SetupParameters, activeChannelCount),
        FIELD(SetupParameters, activeChannels),   FIELD(SetupParameters, instantValues),
        FIELD(SetupParameters, maximumValues),    FIELD(SetupParameters, minimumValues),
        FIELD(SetupParameters, rs485Output),      FIELD(SetupParameters, dayStart),
        FIELD(SetupParameters, setupDigitA),      FIELD(SetupParameters, setupDigitB),
        FIELD(SetupParameters, sensorOnOffTime),  FIELD(SetupParameters, sensorWaitTime),
        FIELD(SetupParameters, waitForExactHour), FIELD(SetupParameters, setupDigitC),
        FIELD(SetupParameters, keepOldSetups)};
    return list;
}

template<> const QList<Field<ChannelNames>> &fields()
{
    static const QList<Field<ChannelNames>> list = {FIELD(ChannelNames, header),
                                                    STATION(ChannelNames),
                                                    FIELD(ChannelNames, channelStates),
                                                    FIELD(ChannelNames, channelCount),
                                                    FIELD(ChannelNames, activeChannelCount),
                                                    FIELD(ChannelNames, activeChannels),
                                                    FIELD(ChannelNames, recordIntervals),
                                                    FIELD(ChannelNames, names),
                                                    FIELD(ChannelNames, codes),
                                                    FIELD(ChannelNames, minMaxTypes),
                                                    FIELD(ChannelNames, recordTypes)};
    return list;
}

template<> const QList<Field<ChannelCalibrations>> &fields()
{
    static const QList<Field<ChannelCalibrations>> list = {
        FIELD(ChannelCalibrations, header),      STATION(ChannelCalibrations),
        FIELD(ChannelCalibrations, units),       FIELD(ChannelCalibrations, minVoltages),
        FIELD(ChannelCalibrations, gains),       FIELD(ChannelCalibrations, maxValues),
        FIELD(ChannelCalibrations, minValues),   FIELD(ChannelCalibrations, offsets),
        FIELD(ChannelCalibrations, multipliers), FIELD(ChannelCalibrations, measurementTypes)};
    return list;
}

template<> const QList<Field<AlarmParameters>> &fields()
{
    static const QList<Field<AlarmParameters>> list = {
        FIELD(AlarmParameters, header),        FIELD(AlarmParameters, maximums),
        FIELD(AlarmParameters, minimums),      FIELD(AlarmParameters, maximumEvents),
        FIELD(AlarmParameters, minimumEvents), FIELD(AlarmParameters, alarmFlags),
        FIELD(AlarmParameters, alarmDigits),   FIELD(AlarmParameters, maximumResets),
        FIELD(AlarmParameters, minimumResets)};
    return list;
}

template<> const QList<Field<FileInformations>> &fields()
{
    static const QList<Field<FileInformations>> list = {
        FIELD(FileInformations, header),      FIELD(FileInformations, fileCount),
        FIELD(FileInformations, lastPage),    FIELD(FileInformations, lastBuffer),
        FIELD(FileInformations, lastAddress), FIELD(FileInformations, files)};
    return list;
}

} // namespace

QJsonObject toJson(const DeviceIdentity &record)
{
    return objectOf(record);
}
QJsonObject toJson(const InstantData &record)
{
    return objectOf(record);
}
QJsonObject toJson(const SetupParameters &record)
{
    return objectOf(record);
}
QJsonObject toJson(const ChannelNames &record)
{
    return objectOf(record);
}
QJsonObject toJson(const ChannelCalibrations &record)
{
    return objectOf(record);
}
QJsonObject toJson(const AlarmParameters &record)
{
    return objectOf(record);
}
QJsonObject toJson(const FileInformations &record)
{
    return objectOf(record);
}

bool apply(const QJsonObject &object, SetupParameters *record, QStringList *problems)
{
    return applyObject(object, record, QStringLiteral("setupParameters"), problems);
}
bool apply(const QJsonObject &object, ChannelNames *record, QStringList *problems)
{
    return applyObject(object, record, QStringLiteral("channelNames"), problems);
}
bool apply(const QJsonObject &object, ChannelCalibrations *record, QStringList *problems)
{
    return applyObject(object, record, QStringLiteral("channelCalibrations"), problems);
}
bool apply(const QJsonObject &object, AlarmParameters *record, QStringList *problems)
{
    return applyObject(object, record, QStringLiteral("alarmParameters"), problems);
}

} // namespace recordjson
