#include "memorydecoder.h"

#include "nexil/protocol/wire.h"

namespace memory {

namespace {

class Decoder
{
public:
    Decoder(const QByteArray &image, const MemoryDevice &device, const QDateTime &base, const QDateTime &now,
            const Catalogue &catalogue, ImageEnd end, int keepFrom)
        : image(image), device(device), base(base), now(now), catalogue(catalogue), end(end), keepFrom(keepFrom)
    {
    }

    DataFile run()
    {
        describeFromDevice();
        file.lines.reserve(image.size() / 5);
        file.channelFlags = device.names.channelStates;
        file.channelCount = channels;
        file.setupTime = QDateTime();
        for (;;) {
            switch (wire::hex2long(image.mid(p, 3))) {
            case SetupMarker:
                setupRecord();
                break;
            case TimeStampMarker:
                timeStampRecord();
                break;
            case SummaryMarker:
                summaryRecord();
                break;
            default:
                if (!measurementRecord()) {
                    file.timeBase = base;
                    return file;
                }
                break;
            }
        }
    }

private:
    // The device's current description; channel i is the device's i-th active slot.
    void describeFromDevice()
    {
        const SetupParameters &setup = device.setup;
        file.deviceType = setup.header.deviceType;
        file.deviceTypeName = catalogue.deviceTypeName(setup.header.deviceType);
        file.deviceTypeDescription = catalogue.deviceTypeDescription(setup.header.deviceType);
        file.lastConnectionTime = now;
        file.supplyVoltage = setup.supplyVoltage;
        file.dayStartHour = setup.dayStart;
        file.memoryPage = device.lastPage;
        file.memoryBuffer = device.lastBuffer;
        if (!seenSetupRecord) {
            file.stationCode = setup.stationCode;
            file.stationName = setup.stationName;
            file.region = setup.region;
            file.basin = setup.basin;
            file.stationNo = setup.stationNo;
            channels = setup.activeChannelCount;
        }
        file.channelCodes.clear();
        file.channelNames.clear();
        file.channelUnits.clear();
        file.channelIntervals.clear();
        for (int slot : device.names.activeChannels) {
            file.channelCodes << device.names.codes.value(slot, CodeUnknown);
            file.channelNames << device.names.names.value(slot);
            file.channelUnits << device.calibrations.units.value(slot);
            file.channelIntervals << device.names.recordIntervals.value(slot);
        }
    }

    uchar byteAt(int at) const { return at >= 0 && at < image.size() ? uchar(image.at(at)) : 0; }

    // Text up to the next 0x02 (or the end); p moves past the separator.
    QByteArray field()
    {
        int end = image.indexOf(wire::STX, p);
        if (end < 0)
            end = image.size();
        const QByteArray text = image.mid(p, end - p);
        p = end + 1;
        return text;
    }

    static QString text(const QByteArray &bytes)
    {
        return QString::fromUtf8(wire::upToNul(bytes)).simplified();
    }

    void addLine(const QDateTime &time, ValueType type, int channel, float value, bool setTime)
    {
        if (recordStart < keepFrom)
            return;
        DataLine line;
        line.dateTime = time;
        line.valueType = type;
        line.valueTypeName = catalogue.valueTypeName(type);
        line.channel = channel;
        line.value = value;
        line.setTime = setTime;
        file.lines.append(line);
    }

    void setupRecord()
    {
        p += 3;
        const QString name = text(field());
        const QStringList group = text(field()).split(QLatin1Char('-'));
        const QString code = text(field());
        const QByteArray flags = field().simplified();

        QList<int> flagDigits;
        int active = 0;
        for (char c : flags) {
            flagDigits << (c - '0');
            if (c != '0')
                ++active;
        }
        // Names and units only move the position: the device's lists describe the channels.
        for (int i = 0; i < 2 * active; ++i)
            field();
        p += 2 * active; // recording intervals, two BCD bytes per channel
        p += 1;
        const QDateTime setupTime = bcdDateTime(image.mid(p, 5));
        p += 5 + 1;

        seenSetupRecord = true;
        channels = active;
        describeFromDevice();
        file.stationName = name;
        file.stationCode = code;
        file.region = group.value(0).toInt();
        file.basin = group.value(1).toInt();
        file.stationNo = group.value(2).toInt();
        file.channelCount = active;
        file.channelFlags = flagDigits;
        file.setupTime = setupTime;
    }

    void timeStampRecord()
    {
        base = bcdDateTime(image.mid(p + 3, 5));
        setTime = true;
        p += 8;
    }

    void summaryRecord()
    {
        recordStart = p;
        p += 3;
        QDateTime lastMaximum;
        for (int type : {ValueMAX, ValueMIN}) {
            for (int i = 0; i < channels; ++i) {
                const QDateTime time = bcdDateTime(image.mid(p, 5));
                addLine(time, ValueType(type), i, wire::hex2float(image.mid(p + 5, 4)), false);
                if (type == ValueMAX)
                    lastMaximum = time;
                p += 9;
            }
        }
        const QDateTime stamp = dayEndStamp(lastMaximum, file.dayStartHour);
        for (int type : {ValueAVG, ValueTOT}) {
            for (int i = 0; i < channels; ++i) {
                addLine(stamp, ValueType(type), i, wire::hex2float(image.mid(p, 4)), false);
                p += 4;
            }
        }
    }

    // False once the image is exhausted.
    bool measurementRecord()
    {
        const qint64 needed = end == ImageEnd::WritePosition ? 3 : 3 + 5 * qint64(channels);
        if (qint64(p) + needed > image.size())
            return false;
        recordStart = p;
        const long minutes = wire::hex2long(image.mid(p, 3));
        p += 3;
        const QDateTime time = base.addSecs(qint64(minutes) * 60);
        // An entry is taken only whole.
        while (qint64(p) + 5 <= image.size() && byteAt(p) >= FirstChannelTag &&
               byteAt(p) <= FirstChannelTag + 8) {
            addLine(time, ValueINS, byteAt(p) - FirstChannelTag, wire::hex2float(image.mid(p + 1, 4)),
                    setTime);
            p += 5;
        }
        setTime = false;
        return true;
    }

    const QByteArray &image;
    const MemoryDevice &device;
    QDateTime base;
    const QDateTime now;
    const Catalogue &catalogue;
    const ImageEnd end;
    const int keepFrom;
    int recordStart = 0;
    DataFile file;
    int p = 0;
    int channels = 0;
    bool setTime = false;
    bool seenSetupRecord = false;
};

} // namespace

QDateTime bcdDateTime(const QByteArray &bytes)
{
    if (bytes.size() < 5)
        return QDateTime();
    const QString text = QString::asprintf("%02X/%02X/20%02X %02X:%02X", uchar(bytes[0]), uchar(bytes[1]),
                                           uchar(bytes[2]), uchar(bytes[3]), uchar(bytes[4]));
    return QDateTime::fromString(text, QStringLiteral("dd/MM/yyyy hh:mm"));
}

QDateTime dayEndStamp(const QDateTime &t, int dayStartHour)
{
    if (!t.isValid())
        return QDateTime();
    if (dayStartHour == 0)
        return QDateTime(t.date(), QTime(23, 59));
    const QTime end(dayStartHour - 1, 59);
    const bool afterStart = t.time() >= QTime(dayStartHour, 0);
    return QDateTime(afterStart ? t.date().addDays(1) : t.date(), end);
}

DataFile decode(const QByteArray &image, const MemoryDevice &device, const QDateTime &base,
                const QDateTime &now, const Catalogue &catalogue, ImageEnd end, int keepFrom)
{
    return Decoder(image, device, base, now, catalogue, end, keepFrom).run();
}

} // namespace memory
