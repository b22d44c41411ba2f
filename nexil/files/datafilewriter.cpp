#include "datafilewriter.h"

#include <QBuffer>
#include <QIODevice>

namespace {

constexpr int flushSize = 1 << 15;

// Printable ASCII that the XML writer would copy unchanged.
bool isPlain(const QString &value)
{
    for (const QChar c : value) {
        const ushort u = c.unicode();
        if (u < 0x20 || u > 0x7e || u == '<' || u == '>' || u == '&' || u == '"' || u == '\'')
            return false;
    }
    return true;
}

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
    if (!h.memoryTimeBase.isEmpty())
        w.writeTextElement(QStringLiteral("time_base"), h.memoryTimeBase);
    w.writeEndElement();
    text.append(QString(headerSlack, QLatin1Char(' ')));
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
    // Closes the alarms tag. From here on the writer is left alone: `data`
    // and its lines are written directly, in the writer's own layout.
    w.writeCharacters(QString());
    text.append(QLatin1String("\n    <data"));
    flush();
}

namespace {

// What writeStart writes for this header.
QByteArray startOf(const DataFileHeader &header)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DataFileWriter writer(&buffer);
    writer.writeStart(header);
    return buffer.data();
}

} // namespace

QByteArray DataFileWriter::headerPrefix(const DataFileHeader &header)
{
    const QByteArray bytes = startOf(header);
    const int end = bytes.indexOf("</memory>");
    return end < 0 ? QByteArray() : bytes.left(end + int(qstrlen("</memory>")));
}

QByteArray DataFileWriter::headerElement(const DataFileHeader &header)
{
    const QByteArray bytes = startOf(header);
    const int start = bytes.indexOf("<header>");
    const int end = bytes.indexOf("</header>");
    return start < 0 || end < start ? QByteArray()
                                    : bytes.mid(start, end + int(qstrlen("</header>")) - start);
}

void DataFileWriter::writeLine(const DataFileLine &line)
{
    text.append(hasLines ? QLatin1String("\n        ") : QLatin1String(">\n        "));
    hasLines = true;
    if (isPlain(line.channel) && isPlain(line.dataType) && isPlain(line.date) && isPlain(line.time) &&
        isPlain(line.setTime) && isPlain(line.value)) {
        text.append(QLatin1String("<line channel=\""));
        text.append(line.channel);
        text.append(QLatin1String("\" dataType=\""));
        text.append(line.dataType);
        text.append(QLatin1String("\" date=\""));
        text.append(line.date);
        text.append(QLatin1String("\" time=\""));
        text.append(line.time);
        text.append(QLatin1String("\" setTime=\""));
        text.append(line.setTime);
        text.append(QLatin1String("\" value=\""));
        text.append(line.value);
        text.append(QLatin1String("\"/>"));
    } else {
        // Anything that needs escaping is escaped by the XML writer itself.
        QString element;
        QXmlStreamWriter w(&element);
        w.writeEmptyElement(QStringLiteral("line"));
        w.writeAttribute(QStringLiteral("channel"), line.channel);
        w.writeAttribute(QStringLiteral("dataType"), line.dataType);
        w.writeAttribute(QStringLiteral("date"), line.date);
        w.writeAttribute(QStringLiteral("time"), line.time);
        w.writeAttribute(QStringLiteral("setTime"), line.setTime);
        w.writeAttribute(QStringLiteral("value"), line.value);
        w.writeCharacters(QString());
        text.append(element);
    }
    if (text.size() >= flushSize)
        flush();
}

void DataFileWriter::writeEnd()
{
    text.append(hasLines ? QLatin1String("\n    </data>\n</device>\n") : QLatin1String("/>\n</device>\n"));
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
