#include "decoders.h"

#include "catalogue.h"
#include "wire.h"

#include <limits>

namespace decode {

namespace {

using wire::upToNul;

QString utf8(const QByteArray &field)
{
    return QString::fromUtf8(upToNul(field));
}

QString simplified(const QByteArray &field)
{
    return utf8(field).simplified();
}

QString latin1Simplified(const QByteArray &field)
{
    return QString::fromLatin1(upToNul(field)).simplified();
}

float toFloat(const QByteArray &field)
{
    return upToNul(field).simplified().toFloat();
}

int toInt(const QByteArray &field)
{
    return upToNul(field).simplified().toInt();
}

// page × 512 + buffer, held to int: a garbled reply may carry any number.
int address(int page, int buffer)
{
    const qint64 a = qint64(page) * 512 + buffer;
    return int(qBound<qint64>(std::numeric_limits<int>::min(), a, std::numeric_limits<int>::max()));
}

int digit(char c)
{
    return c - '0';
}

// The station name, number group and code that open most records.
struct Station
{
    QString name;
    QString code;
    int region = 0;
    int basin = 0;
    int number = 0;
};

Station station(const QList<QByteArray> &f)
{
    Station s;
    s.name = simplified(f.at(0));
    const QString group = simplified(f.at(1));
    QString kept;
    for (const QChar c : group) {
        if (c.isDigit() || c == QLatin1Char('-'))
            kept += c;
    }
    const QStringList pieces = kept.split(QLatin1Char('-'));
    if (pieces.size() >= 1 && pieces.size() <= 3) {
        int *targets[] = {&s.region, &s.basin, &s.number};
        const int offset = 3 - pieces.size();
        for (int i = 0; i < pieces.size(); ++i)
            *targets[offset + i] = pieces.at(i).toInt();
    }
    s.code = simplified(f.at(2));
    if (s.code.isEmpty())
        s.code = group;
    return s;
}

template<typename Record> void assignStation(Record *out, const Station &s)
{
    out->stationName = s.name;
    out->stationCode = s.code;
    out->region = s.region;
    out->basin = s.basin;
    out->stationNo = s.number;
}

// Flag text: every position holding "1" is an active slot.
QList<int> activeSlots(const QByteArray &flags)
{
    QList<int> active;
    const QByteArray trimmed = flags.trimmed();
    for (int i = 0; i < trimmed.size(); ++i) {
        if (trimmed.at(i) == '1')
            active << i;
    }
    return active;
}

InstantValue currentValue(const QList<QByteArray> &f, int first, const QDateTime &receivedAt)
{
    InstantValue v;
    v.label = simplified(f.at(first));
    v.label.chop(1);
    v.value = toFloat(f.at(first + 1));
    v.unit = simplified(f.at(first + 2));
    v.dateTime = receivedAt;
    v.valueType = ValueINS;
    return v;
}

// Fields 0-5 and the current value of every active channel, shared by the
// instant-value and setup replies. A setup reply also needs its extremes (two
// fields per channel) and five more fields, and it simplifies its clock and
// voltage texts where the instant reply only trims them.
template<typename Record>
bool readCurrentState(const DeviceHeader &header, const QList<QByteArray> &f, const QDateTime &receivedAt,
                      bool setupReply, Record *d, QList<InstantValue> *values)
{
    if (f.size() < 6)
        return false;
    const QList<int> active = activeSlots(f.at(5));
    const int a = active.size();
    if (f.size() < 6 + 3 * a + (setupReply ? 2 * a + 5 : 0))
        return false;
    d->header = header;
    assignStation(d, station(f));
    const QByteArray clock = setupReply ? f.at(3).simplified() : f.at(3).trimmed();
    d->deviceTime = deviceDateTime(clock.left(17), QStringLiteral("dd/MM/yy hh:mm:ss"));
    const QByteArray voltage = f.at(4).left(qMax(0, f.at(4).size() - 1));
    d->supplyVoltage = (setupReply ? voltage.simplified() : voltage.trimmed()).toFloat();
    d->activeChannels = active;
    d->activeChannelCount = a;
    d->channelCount = Catalogue::channelCount(header.deviceType);
    for (int k = 0; k < a; ++k)
        values->append(currentValue(f, 6 + 3 * k, receivedAt));
    return true;
}

} // namespace

Result fields(const QByteArray &payload, QList<QByteArray> *out)
{
    if (payload.size() < 2)
        return Result::Malformed;
    const QByteArray body = payload.left(payload.size() - 2);
    const long crc = wire::hex2long(payload.right(2));
    if (!wire::verifyChecksum(body, unsigned(crc)))
        return Result::ChecksumError;
    *out = body.split(wire::STX);
    return Result::Ok;
}

QDateTime deviceDateTime(const QByteArray &text, const QString &format)
{
    const QString s = QString::fromLatin1(text);
    if (s == QLatin1String("00/00/00 00:00"))
        return QDateTime();
    const QDateTime parsed = QDateTime::fromString(s, format);
    return parsed.isValid() ? parsed.addYears(100) : QDateTime();
}

Result deviceIdentity(const DeviceHeader &header, const QByteArray &payload, DeviceIdentity *out)
{
    QList<QByteArray> f;
    const Result r = fields(payload, &f);
    if (r != Result::Ok)
        return r;
    if (f.size() != 4)
        return Result::Malformed;
    out->header = header;
    assignStation(out, station(f));
    return Result::Ok;
}

Result instantData(const DeviceHeader &header, const QByteArray &payload, const QDateTime &receivedAt,
                   InstantData *out)
{
    QList<QByteArray> f;
    const Result r = fields(payload, &f);
    if (r != Result::Ok)
        return r;
    InstantData d;
    if (!readCurrentState(header, f, receivedAt, false, &d, &d.values))
        return Result::Malformed;
    *out = d;
    return Result::Ok;
}

Result fileInformations(const DeviceHeader &header, const QByteArray &payload, FileInformations *out)
{
    QList<QByteArray> f;
    const Result r = fields(payload, &f);
    if (r != Result::Ok)
        return r;
    if (f.isEmpty())
        return Result::Malformed;
    const int count = toInt(f.at(0));
    if (count < 0 || f.size() < 3 * qint64(count) + 3)
        return Result::Malformed;

    FileInformations d;
    d.header = header;
    d.fileCount = count;
    int startPage = 0;
    int startBuffer = 0;
    for (int k = 0; k < count; ++k) {
        FileInformation file;
        file.date =
            deviceDateTime(latin1Simplified(f.at(1 + 3 * k)).toLatin1(), QStringLiteral("dd/MM/yy hh:mm"));
        file.endPage = toInt(f.at(2 + 3 * k));
        file.endBuffer = toInt(f.at(3 + 3 * k));
        file.startPage = startPage;
        file.startBuffer = startBuffer;
        const qint64 size = qint64(address(file.endPage, file.endBuffer)) - address(startPage, startBuffer);
        file.size = int(qBound<qint64>(std::numeric_limits<int>::min(), size, std::numeric_limits<int>::max()));
        startPage = file.endPage;
        startBuffer = file.endBuffer;
        d.files << file;
    }
    d.lastPage = toInt(f.at(3 * count + 1));
    d.lastBuffer = toInt(f.at(3 * count + 2));
    d.lastAddress = address(d.lastPage, d.lastBuffer);
    *out = d;
    return Result::Ok;
}

Result setupParameters(const DeviceHeader &header, const QByteArray &payload, const QDateTime &receivedAt,
                       SetupParameters *out)
{
    QList<QByteArray> f;
    const Result r = fields(payload, &f);
    if (r != Result::Ok)
        return r;
    SetupParameters d;
    if (!readCurrentState(header, f, receivedAt, true, &d, &d.instantValues))
        return Result::Malformed;
    const int a = d.activeChannelCount;
    const QByteArray options = f.at(5 * a + 6);
    const QByteArray exactHour = f.at(5 * a + 9);
    const QByteArray digitC = f.at(5 * a + 10);
    if (options.size() < 5 || exactHour.isEmpty() || digitC.isEmpty())
        return Result::Malformed;

    auto extreme = [&](const QByteArray &field, const InstantValue &current, ValueType type) {
        InstantValue v;
        v.label = current.label;
        v.unit = current.unit;
        v.valueType = type;
        v.dateTime = deviceDateTime(field.left(14).simplified(), QStringLiteral("dd/MM/yy hh:mm"));
        v.value = toFloat(field.mid(15));
        return v;
    };
    for (int k = 0; k < a; ++k) {
        d.maximumValues << extreme(f.at(6 + 3 * a + 2 * k), d.instantValues.at(k), ValueMAX);
        d.minimumValues << extreme(f.at(7 + 3 * a + 2 * k), d.instantValues.at(k), ValueMIN);
    }

    d.rs485Output = options.at(0) != '0';
    d.dayStart = options.mid(1, 2).toInt();
    d.setupDigitA = digit(options.at(3));
    d.setupDigitB = digit(options.at(4));
    d.sensorOnOffTime = toInt(f.at(5 * a + 7));
    d.sensorWaitTime = toInt(f.at(5 * a + 8));
    d.waitForExactHour = exactHour.at(0) != '0';
    d.setupDigitC = digit(digitC.at(0));
    d.keepOldSetups = false;
    *out = d;
    return Result::Ok;
}

Result channelCalibrations(const DeviceHeader &header, const QByteArray &payload, ChannelCalibrations *out)
{
    QList<QByteArray> f;
    const Result r = fields(payload, &f);
    if (r != Result::Ok)
        return r;
    if (f.size() < 42 || f.at(37).size() < 5 || f.at(41).size() < 5 || f.at(40).size() < 2)
        return Result::Malformed;

    ChannelCalibrations d;
    d.header = header;
    assignStation(&d, station(f));
    for (int i = 3; i <= 11; ++i)
        d.units << latin1Simplified(f.at(i));
    for (int i = 0; i < 5; ++i) {
        d.minVoltages << toFloat(f.at(12 + i));
        d.gains << toFloat(f.at(17 + i));
        d.maxValues << toFloat(f.at(22 + i));
        d.minValues << toFloat(f.at(27 + i));
        d.offsets << toFloat(f.at(32 + i));
        d.multipliers << digit(f.at(37).at(i));
    }
    d.gains << toFloat(f.at(38)) << toFloat(f.at(39));
    // Field 41 holds the first five measurement types, field 40 the last two.
    for (int i = 0; i < 5; ++i)
        d.measurementTypes << digit(f.at(41).at(i));
    d.measurementTypes << digit(f.at(40).at(0)) << digit(f.at(40).at(1));
    *out = d;
    return Result::Ok;
}

Result channelNames(const DeviceHeader &header, const QByteArray &payload, ChannelNames *out)
{
    QList<QByteArray> f;
    const Result r = fields(payload, &f);
    if (r != Result::Ok)
        return r;
    if (f.size() < 23)
        return Result::Malformed;
    const QByteArray states = f.at(3).trimmed();
    const QByteArray types = f.at(22);
    if (states.size() < 9 || types.size() < 18)
        return Result::Malformed;
    for (int i = 13; i <= 21; ++i) {
        if (f.at(i).isEmpty())
            return Result::Malformed;
    }

    ChannelNames d;
    d.header = header;
    assignStation(&d, station(f));
    for (int i = 0; i < 9; ++i) {
        const int state = digit(states.at(i));
        d.channelStates << state;
        if (state == 1)
            d.activeChannels << i;
    }
    d.activeChannelCount = d.activeChannels.size();
    d.channelCount = Catalogue::channelCount(header.deviceType);
    for (int i = 0; i < 9; ++i)
        d.recordIntervals << toInt(f.at(4 + i));
    for (int i = 0; i < 9; ++i) {
        const QByteArray &field = f.at(13 + i);
        d.names << latin1Simplified(field.left(field.size() - 1));
        d.codes << ChannelCode(uchar(field.at(field.size() - 1)));
    }
    for (int i = 0; i < 9; ++i)
        d.minMaxTypes << (types.at(i) == '0' ? 0 : 1);
    for (int i = 9; i < 18; ++i)
        d.recordTypes << (types.at(i) == '0' ? 0 : 1);
    *out = d;
    return Result::Ok;
}

Result alarmParameters(const DeviceHeader &header, const QByteArray &payload, AlarmParameters *out)
{
    QList<QByteArray> f;
    const Result r = fields(payload, &f);
    if (r != Result::Ok)
        return r;
    if (f.size() < 25)
        return Result::Malformed;

    AlarmParameters d;
    d.header = header;
    for (int i = 0; i < 4; ++i) {
        d.maximums << toFloat(f.at(2 * i));
        d.minimums << toFloat(f.at(2 * i + 1));
        d.alarmFlags << (d.maximums.at(i) > 0);
    }
    auto event = [](const QByteArray &field, int channel, ValueType type, QList<AlarmEvent> *events) {
        const QByteArray time = field.left(14);
        if (time == "00/00/00 00:00")
            return;
        AlarmEvent e;
        e.channel = channel;
        e.valueType = type;
        e.dateTime = deviceDateTime(time, QStringLiteral("dd/MM/yy hh:mm"));
        e.value = toFloat(field.mid(14));
        events->append(e);
    };
    for (int i = 0; i < 4; ++i)
        event(f.at(8 + i), i, ValueMAX, &d.maximumEvents);
    for (int i = 0; i < 4; ++i)
        event(f.at(12 + i), i, ValueMIN, &d.minimumEvents);
    const QByteArray flags = f.at(16);
    for (int i = 0; i < qMin(9, flags.size()); ++i)
        d.alarmFlags << (flags.at(i) != '0');
    for (int i = 9; i < qMin(11, flags.size()); ++i)
        d.alarmDigits << digit(flags.at(i));
    for (int i = 0; i < 4; ++i) {
        d.maximumResets << toFloat(f.at(17 + 2 * i));
        d.minimumResets << toFloat(f.at(18 + 2 * i));
    }
    *out = d;
    return Result::Ok;
}

} // namespace decode
