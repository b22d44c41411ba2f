#include "datafilewriter.h"

#include <QIODevice>

namespace {

constexpr int flushSize = 1 << 15;

} // namespace

DataFileWriter::DataFileWriter(QIODevice *output) : out(output), writer(&text)
{
    text.reserve(flushSize + 4096);
    writer.setAutoFormatting(true);
}

void DataFileWriter::writeStart(const DataFileHeader &h)
{
    // A writer on a string leaves the encoding out of the declaration, so it
    // is written here; the writer still starts the root on the next line.
    text.append(QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QXmlStreamWriter &w = writer;
    w.writeStartElement(QStringLiteral("device"));
    w.writeStartElement(QStringLiteral("header"));
    w.writeTextElement(QStringLiteral("device_type"), h.deviceType);
    w.writeTextElement(QStringLiteral("device_type_name"), h.deviceTypeName);
    w.writeTextElement(QStringLiteral("device_type_description"), h.deviceTypeDescription);
    w.writeTextElement(QStringLiteral("last_connection_time"), h.lastConnectionTime);
    w.writeTextElement(QStringLiteral("supply_voltage"), h.supplyVoltage);

    w.writeStartElement(QStringLiteral("station"));
    w.writeTextElement(QStringLiteral("code"), h.stationCode);
    w.writeTextElement(QStringLiteral("name"), h.stationName);
    w.writeTextElement(QStringLiteral("region"), h.region);
    w.writeTextElement(QStringLiteral("basin"), h.basin);
    w.writeTextElement(QStringLiteral("no"), h.stationNo);
    w.writeEndElement();

    w.writeStartElement(QStringLiteral("setup"));
    w.writeTextElement(QStringLiteral("timestamp"), h.setupTime);
    w.writeTextElement(QStringLiteral("start_of_day"), h.startOfDay);
    w.writeStartElement(QStringLiteral("memory"));
    w.writeTextElement(QStringLiteral("page"), h.memoryPage);
    w.writeTextElement(QStringLiteral("buffer"), h.memoryBuffer);
    w.writeEndElement();
    w.writeTextElement(QStringLiteral("channel_count"), h.channelCount);
    w.writeStartElement(QStringLiteral("channels"));
    for (const DataFileChannel &channel : h.channels) {
        w.writeStartElement(QStringLiteral("channel"));
        w.writeAttribute(QStringLiteral("id"), channel.id);
        w.writeAttribute(QStringLiteral("code"), channel.code);
        w.writeTextElement(QStringLiteral("name"), channel.name);
        w.writeTextElement(QStringLiteral("unit"), channel.unit);
        w.writeTextElement(QStringLiteral("interval"), channel.interval);
        w.writeEndElement();
    }
    w.writeEndElement(); // channels
    w.writeEndElement(); // setup
    w.writeEndElement(); // header

    w.writeEmptyElement(QStringLiteral("alarms"));
    w.writeStartElement(QStringLiteral("data"));
    flush();
}

void DataFileWriter::writeLine(const DataFileLine &line)
{
    writer.writeEmptyElement(QStringLiteral("line"));
    writer.writeAttribute(QStringLiteral("channel"), line.channel);
    writer.writeAttribute(QStringLiteral("dataType"), line.dataType);
    writer.writeAttribute(QStringLiteral("date"), line.date);
    writer.writeAttribute(QStringLiteral("time"), line.time);
    writer.writeAttribute(QStringLiteral("setTime"), line.setTime);
    writer.writeAttribute(QStringLiteral("value"), line.value);
    if (text.size() >= flushSize)
        flush();
}

void DataFileWriter::writeEnd()
{
    writer.writeEndElement(); // data
    writer.writeEndElement(); // device
    writer.writeEndDocument();
    flush();
}

void DataFileWriter::flush()
{
    const QByteArray bytes = text.toUtf8();
    if (out->write(bytes) != bytes.size())
        writeFailed = true;
    // Keeps the reserved capacity for the next chunk.
    text.resize(0);
}
