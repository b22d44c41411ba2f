#include "dataformat.h"

#include "nexil/protocol/nexil.h"
#include "nexil/protocol/records.h"

#include <QDomElement>
#include <QLocale>
#include <QXmlStreamReader>

namespace {

QString childText(const QDomElement &parent, const QString &name)
{
    return parent.firstChildElement(name).text();
}

} // namespace

QString DataFormat::fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString DataFormat::dateTimeText(const QDateTime &dateTime)
{
    // The C locale keeps the digits ASCII whatever the system locale is.
    if (!dateTime.isValid())
        return QString();
    return QLocale::c().toString(dateTime, QStringLiteral("yyyy-MM-dd hh:mm"));
}

DataFileHeader DataFormat::headerFromDataFile(const DataFile &dataFile, const Nexil &nexil)
{
    DataFileHeader header;
    header.deviceType = QString::number(dataFile.deviceType);
    header.deviceTypeName = dataFile.deviceTypeName;
    header.deviceTypeDescription = dataFile.deviceTypeDescription;
    header.stationCode = dataFile.stationCode;
    header.stationName = dataFile.stationName;
    header.region = QString::number(dataFile.region);
    header.basin = QString::number(dataFile.basin);
    header.stationNo = QString::number(dataFile.stationNo);
    header.setupTime = dateTimeText(dataFile.setupTime);
    header.startOfDay = QString::number(dataFile.dayStartHour);
    header.channelCount = QString::number(dataFile.channelCount);
    for (int i = 0; i < dataFile.channelCount; ++i) {
        // The lists can be shorter than the count when the device answered
        // badly; missing entries are left empty rather than guessed.
        DataFileChannel channel;
        channel.id = QString::number(i);
        channel.code = nexil.channelCodeName(dataFile.channelCodes.value(i, CodeUnknown));
        channel.name = dataFile.channelNames.value(i);
        channel.unit = dataFile.channelUnits.value(i);
        if (i < dataFile.channelIntervals.size())
            channel.interval = QString::number(dataFile.channelIntervals.at(i));
        header.channels.append(channel);
    }
    applyDownload(header, dataFile);
    return header;
}

DataFileHeader DataFormat::headerFromElement(const QDomElement &header)
{
    DataFileHeader h;
    h.deviceType = childText(header, QStringLiteral("device_type"));
    h.deviceTypeName = childText(header, QStringLiteral("device_type_name"));
    h.deviceTypeDescription = childText(header, QStringLiteral("device_type_description"));
    h.lastConnectionTime = childText(header, QStringLiteral("last_connection_time"));
    h.supplyVoltage = childText(header, QStringLiteral("supply_voltage"));

    const QDomElement station = header.firstChildElement(QStringLiteral("station"));
    h.stationCode = childText(station, QStringLiteral("code"));
    h.stationName = childText(station, QStringLiteral("name"));
    h.region = childText(station, QStringLiteral("region"));
    h.basin = childText(station, QStringLiteral("basin"));
    h.stationNo = childText(station, QStringLiteral("no"));

    const QDomElement setup = header.firstChildElement(QStringLiteral("setup"));
    h.setupTime = childText(setup, QStringLiteral("timestamp"));
    h.startOfDay = childText(setup, QStringLiteral("start_of_day"));
    const QDomElement memory = setup.firstChildElement(QStringLiteral("memory"));
    h.memoryPage = childText(memory, QStringLiteral("page"));
    h.memoryBuffer = childText(memory, QStringLiteral("buffer"));
    h.memoryTimeBase = childText(memory, QStringLiteral("time_base"));
    h.channelCount = childText(setup, QStringLiteral("channel_count"));

    const QDomElement channels = setup.firstChildElement(QStringLiteral("channels"));
    for (QDomElement e = channels.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        DataFileChannel channel;
        channel.id = e.attribute(QStringLiteral("id"));
        channel.code = e.attribute(QStringLiteral("code"));
        channel.name = childText(e, QStringLiteral("name"));
        channel.unit = childText(e, QStringLiteral("unit"));
        channel.interval = childText(e, QStringLiteral("interval"));
        h.channels.append(channel);
    }
    return h;
}

void DataFormat::applyDownload(DataFileHeader &header, const DataFile &dataFile)
{
    header.lastConnectionTime = dateTimeText(dataFile.lastConnectionTime);
    header.supplyVoltage = fixed(dataFile.supplyVoltage, 2);
    header.memoryPage = QString::number(dataFile.memoryPage);
    header.memoryBuffer = QString::number(dataFile.memoryBuffer);
    // A download that found no base keeps the one the file has.
    if (dataFile.timeBase.isValid())
        header.memoryTimeBase = dateTimeText(dataFile.timeBase);
}

DataFileLine DataFormat::lineFromDataLine(const DataLine &line)
{
    DataFileLine l;
    l.channel = QString::number(line.channel);
    l.dataType = line.valueTypeName;
    // date() and time() avoid a time-zone conversion per call; the texts are
    // those of the date-time in its own time zone either way.
    if (line.dateTime.isValid()) {
        const QLocale c = QLocale::c();
        l.date = c.toString(line.dateTime.date(), QStringLiteral("yyyy-MM-dd"));
        l.time = c.toString(line.dateTime.time(), QStringLiteral("hh:mm"));
    }
    l.setTime = line.setTime ? QStringLiteral("true") : QStringLiteral("false");
    l.value = fixed(line.value, 4);
    return l;
}

DataFileLine DataFormat::lineFromReader(const QXmlStreamReader &reader)
{
    const QXmlStreamAttributes a = reader.attributes();
    DataFileLine line;
    // Lines written here carry the six attributes in this order; anything
    // else is looked up by name.
    if (a.size() == 6 && a[0].qualifiedName() == QLatin1String("channel") &&
        a[1].qualifiedName() == QLatin1String("dataType") && a[2].qualifiedName() == QLatin1String("date") &&
        a[3].qualifiedName() == QLatin1String("time") && a[4].qualifiedName() == QLatin1String("setTime") &&
        a[5].qualifiedName() == QLatin1String("value")) {
        line.channel = a[0].value().toString();
        line.dataType = a[1].value().toString();
        line.date = a[2].value().toString();
        line.time = a[3].value().toString();
        line.setTime = a[4].value().toString();
        line.value = a[5].value().toString();
        return line;
    }
    line.channel = a.value(QLatin1String("channel")).toString();
    line.dataType = a.value(QLatin1String("dataType")).toString();
    line.date = a.value(QLatin1String("date")).toString();
    line.time = a.value(QLatin1String("time")).toString();
    line.setTime = a.value(QLatin1String("setTime")).toString();
    line.value = a.value(QLatin1String("value")).toString();
    return line;
}

DataFileLine DataFormat::lineFromElement(const QDomElement &line)
{
    DataFileLine l;
    l.channel = line.attribute(QStringLiteral("channel"));
    l.dataType = line.attribute(QStringLiteral("dataType"));
    l.date = line.attribute(QStringLiteral("date"));
    l.time = line.attribute(QStringLiteral("time"));
    l.setTime = line.attribute(QStringLiteral("setTime"));
    l.value = line.attribute(QStringLiteral("value"));
    return l;
}
