#include "textexporter.h"

#include <QBuffer>

#include <QDate>
#include <QFileInfo>
#include <QIODevice>

#include <cmath>

namespace {

constexpr int flushSize = 1 << 16;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int number(const QString &text, int from, int length)
{
    int n = 0;
    for (int i = from; i < from + length; ++i)
        n = n * 10 + (text.at(i).unicode() - '0');
    return n;
}

bool allDigits(const QString &text, std::initializer_list<int> positions)
{
    for (int i : positions) {
        if (!isDigit(text.at(i)))
            return false;
    }
    return true;
}

// "yyyy-MM-dd" naming a real day.
bool validDate(const QString &date)
{
    if (date.size() != 10 || date.at(4) != QLatin1Char('-') || date.at(7) != QLatin1Char('-'))
        return false;
    if (!allDigits(date, {0, 1, 2, 3, 5, 6, 8, 9}))
        return false;
    return QDate::isValid(number(date, 0, 4), number(date, 5, 2), number(date, 8, 2));
}

// "hh:mm" naming a time of day.
bool validTime(const QString &time)
{
    if (time.size() != 5 || time.at(2) != QLatin1Char(':') || !allDigits(time, {0, 1, 3, 4}))
        return false;
    return number(time, 0, 2) < 24 && number(time, 3, 2) < 60;
}

QString displayDate(const QString &date)
{
    return date.mid(8, 2) + QLatin1Char('/') + date.mid(5, 2) + QLatin1Char('/') + date.left(4);
}

// "-12.3400": the fixed form with four decimals the data file writes.
bool isFixedFourDecimals(const QString &text)
{
    const int start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    const int point = text.size() - 5;
    if (point <= start || text.at(point) != QLatin1Char('.'))
        return false;
    for (int i = start; i < text.size(); ++i) {
        if (i != point && !isDigit(text.at(i)))
            return false;
    }
    return true;
}

// The logger writes these in place of a reading when a sensor fails.
bool isSensorError(float value)
{
    const double whole = std::trunc(double(value));
    return whole == -8888.0 || whole == -9999.0;
}

} // namespace

TextExporter::TextExporter(QIODevice *output) : out(output)
{
    buffer.reserve(flushSize + 4096);
}

QString TextExporter::textPath(const QString &xmlPath)
{
    const QFileInfo info(xmlPath);
    return QStringLiteral("%1/%2.txt").arg(info.absolutePath(), info.baseName());
}

TextExporter::Stamp TextExporter::readStamp(const QString &date, const QString &time)
{
    Stamp stamp;
    stamp.valid = validDate(date) && validTime(time);
    if (stamp.valid) {
        stamp.date = date;
        stamp.time = time;
    }
    return stamp;
}

bool TextExporter::later(const Stamp &a, const Stamp &b)
{
    // A line without a readable time never opens a row of its own.
    if (!a.valid)
        return false;
    if (!b.valid)
        return true;
    const int byDate = a.date.compare(b.date);
    return byDate > 0 || (byDate == 0 && a.time.compare(b.time) > 0);
}

void TextExporter::writeHeader(const DataFileHeader &header)
{
    put(header.stationName);
    put("\r\n");
    put(header.stationCode);
    put("\r\n");
    const QString setup = header.setupTime;
    if (setup.size() == 16 && setup.at(10) == QLatin1Char(' ') && validDate(setup.left(10)) &&
        validTime(setup.mid(11))) {
        put(displayDate(setup.left(10)) + QLatin1Char(' ') + setup.mid(11));
    }
    put("\r\n");
    put(QString::asprintf("%08d%04d\r\n\r\n", header.memoryPage.toInt(), header.memoryBuffer.toInt()));

    channelCount = header.channels.size();
    put("|||");
    for (const DataFileChannel &channel : header.channels) {
        put(channel.name);
        put("|");
    }
    put("\r\n|||");
    for (const DataFileChannel &channel : header.channels) {
        put(channel.unit);
        put("|");
    }
    put("\r\n|||");
    for (const DataFileChannel &channel : header.channels) {
        put(channel.interval);
        put("|");
    }
    put("\r\n\r\n");
    flushIfFull();
}

void TextExporter::resume(const DataFileHeader &header, const QString &date, const QString &time,
                          bool setTime)
{
    channelCount = header.channels.size();
    rowStarted = !date.isEmpty();
    rowStamp = readStamp(date, time);
    rowSetTime = setTime;
}

bool TextExporter::lastInsRow(const QByteArray &tail, QString *date, QString *time)
{
    // A row starts a line: "dd/MM/yyyy|hh:mm|INS|".
    for (int at = tail.lastIndexOf("|INS|"); at >= 17; at = tail.lastIndexOf("|INS|", at - 1)) {
        const int start = at - 16;
        if (start > 0 && tail.at(start - 1) != '\n')
            continue;
        const QString d = QString::fromLatin1(tail.mid(start, 10));
        const QString t = QString::fromLatin1(tail.mid(start + 11, 5));
        if (tail.at(start + 10) != '|' || d.size() != 10 || d.at(2) != QLatin1Char('/') ||
            d.at(5) != QLatin1Char('/'))
            continue;
        *date = d.mid(6, 4) + QLatin1Char('-') + d.mid(3, 2) + QLatin1Char('-') + d.left(2);
        *time = t;
        return validDate(*date) && validTime(*time);
    }
    return false;
}

QByteArray TextExporter::headerBytes(const DataFileHeader &header)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TextExporter exporter(&buffer);
    exporter.writeHeader(header);
    exporter.finish();
    return buffer.data();
}

void TextExporter::addLine(const DataFileLine &line)
{
    const int channel = line.channel.toInt();
    const float value = line.value.toFloat();
    const bool setTime = line.setTime == QLatin1String("true");
    const Stamp stamp = readStamp(line.date, line.time);

    if (!rowStarted) {
        rowStarted = true;
        rowStamp = stamp;
        putStamp(stamp);
        put(line.dataType);
        put("|");
        rowSetTime = setTime;
    }

    if (line.dataType == QLatin1String("INS")) {
        if (later(stamp, rowStamp)) {
            rowStamp = stamp;
            // Marks the row begun by the first value after a clock setting.
            if (rowSetTime)
                put("*");
            put("\r\n");
            putStamp(stamp);
            put("INS|");
            rowSetTime = setTime;
        }
        if (!isSensorError(value)) {
            putValue(line.value, value);
            put("|");
        }
    } else if (line.dataType == QLatin1String("MAX") || line.dataType == QLatin1String("MIN")) {
        // One cell per channel, so the value lands in its channel's column.
        put("\r\n");
        putStamp(stamp);
        put(line.dataType);
        put("|");
        // A damaged channel number must not turn into millions of cells.
        const int before = qBound(0, channel, channelCount);
        for (int i = 0; i < before; ++i)
            put("|");
        if (!isSensorError(value))
            putValue(line.value, value);
        for (int i = before; i < channelCount; ++i)
            put("|");
        put("#");
    } else if (channel == 0) {
        put("\r\n");
        putStamp(stamp);
        put(line.dataType);
        put("|");
        putValue(line.value, value);
        put("|");
    } else if (!isSensorError(value)) {
        putValue(line.value, value);
        put("|");
    }
    flushIfFull();
}

bool TextExporter::finish()
{
    if (!buffer.isEmpty() && out->write(buffer) != buffer.size())
        writeFailed = true;
    buffer.resize(0);
    return !writeFailed;
}

void TextExporter::put(const QString &text)
{
    buffer.append(text.toUtf8());
}

void TextExporter::putAscii(const QChar *text, int size)
{
    for (int i = 0; i < size; ++i)
        buffer.append(char(text[i].unicode()));
}

void TextExporter::putStamp(const Stamp &stamp)
{
    // An unreadable time keeps its two cells so the columns stay aligned.
    if (!stamp.valid) {
        put("||");
        return;
    }
    // Checked to be digits and separators, so copied as they are.
    const QChar *date = stamp.date.constData();
    putAscii(date + 8, 2);
    put("/");
    putAscii(date + 5, 2);
    put("/");
    putAscii(date, 4);
    put("|");
    putAscii(stamp.time.constData(), 5);
    put("|");
}

void TextExporter::putValue(const QString &text, float value)
{
    // The file's own text where it is already in the export's form: the
    // number read back would lose the sign of "-0.0000".
    if (isFixedFourDecimals(text)) {
        putAscii(text.constData(), text.size());
        return;
    }
    const QString formatted = DataFormat::fixed(value, 4);
    putAscii(formatted.constData(), formatted.size());
}

void TextExporter::flushIfFull()
{
    if (buffer.size() < flushSize)
        return;
    if (out->write(buffer) != buffer.size())
        writeFailed = true;
    buffer.resize(0);
}
