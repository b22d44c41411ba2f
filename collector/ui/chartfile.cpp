#include "chartfile.h"

#include <QDateTime>
#include <QFile>
#include <QXmlStreamReader>

#include <QBuffer>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// "yyyy-MM-dd" and "hh:mm" read digit by digit: a year of lines passes here
// half a million times. Text is a QStringRef or a QLatin1String.
template<typename Text> bool readNumber(const Text &text, int from, int length, int *number)
{
    int n = 0;
    for (int i = from; i < from + length; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    *number = n;
    return true;
}

// Local time of a date and a minute of the day. Within a day whose UTC offset
// does not change, a time is the day's midnight plus its minutes; only days
// with a daylight-saving change convert every time on its own.
class LocalTimes
{
public:
    template<typename Text> bool msecs(const Text &dateText, const Text &timeText, qint64 *msecs)
    {
        const Text dateRef = dateText.trimmed();
        const Text timeRef = timeText.trimmed();
        int year, month, day, hour, minute;
        if (dateRef.size() != 10 || dateRef.at(4) != QLatin1Char('-') || dateRef.at(7) != QLatin1Char('-') ||
            !readNumber(dateRef, 0, 4, &year) || !readNumber(dateRef, 5, 2, &month) ||
            !readNumber(dateRef, 8, 2, &day))
            return false;
        if (timeRef.size() != 5 || timeRef.at(2) != QLatin1Char(':') || !readNumber(timeRef, 0, 2, &hour) ||
            !readNumber(timeRef, 3, 2, &minute) || hour > 23 || minute > 59)
            return false;
        const int key = year * 10000 + month * 100 + day;
        if (key != m_key) {
            m_key = key;
            m_date = QDate(year, month, day);
            if (m_date.isValid()) {
                const QDateTime start(m_date, QTime(0, 0));
                const QDateTime last(m_date, QTime(23, 59));
                m_midnight = start.toMSecsSinceEpoch();
                m_uniform =
                    start.isValid() && last.isValid() && start.offsetFromUtc() == last.offsetFromUtc() &&
                    QDateTime(m_date.addDays(1), QTime(0, 0)).toMSecsSinceEpoch() - m_midnight == 86400000;
            }
        }
        if (!m_date.isValid())
            return false;
        if (m_uniform)
            *msecs = m_midnight + (hour * 60 + minute) * qint64(60000);
        else
            *msecs = changeDay(QTime(hour, minute));
        return true;
    }

private:
    // On the day of a clock change a wall time is tried with the day's two UTC
    // offsets. The hour that repeats in autumn is taken at its first
    // occurrence: left to the C library, the choice depends on the conversions
    // made before.
    qint64 changeDay(const QTime &time) const
    {
        const qint64 wall = QDateTime(m_date, time, Qt::UTC).toMSecsSinceEpoch();
        qint64 found = std::numeric_limits<qint64>::max();
        for (const QTime &probe : {QTime(0, 0), QTime(23, 59)}) {
            const qint64 candidate = wall - QDateTime(m_date, probe).offsetFromUtc() * qint64(1000);
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(candidate);
            if (local.date() == m_date && local.time() == time)
                found = std::min(found, candidate);
        }
        // In the spring gap the time does not exist; it goes where Qt puts it.
        return found != std::numeric_limits<qint64>::max() ? found
                                                           : QDateTime(m_date, time).toMSecsSinceEpoch();
    }

    int m_key = -1;
    QDate m_date;
    qint64 m_midnight = 0;
    bool m_uniform = false;
};

// As QString::toFloat reads it: a double, then a float when it fits.
bool readFloat(QLatin1String text, float *value)
{
    double d = 0;
    const char *first = text.data(), *last = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(first, last, d);
    bool ok = true;
    if (r.ec != std::errc() || r.ptr != last) {
        *value = QString(text).toFloat(&ok); // a '+', spaces, or no number at all
        return ok;
    }
    if (std::isinf(d)) {
        *value = float(d);
        return true;
    }
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        return false;
    *value = float(d);
    return !(d != 0 && *value == 0);
}

bool readFloat(const QStringRef &text, float *value)
{
    bool ok = false;
    *value = text.toFloat(&ok);
    return ok;
}

QString text(const QStringRef &ref)
{
    return ref.toString();
}

QString text(QLatin1String latin1)
{
    return QString(latin1);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// The byte after the first chars UTF-16 units of UTF-8 text, or -1.
qint64 byteOffset(const QByteArray &bytes, qint64 chars)
{
    qint64 units = 0, i = 0;
    while (units < chars && i < bytes.size()) {
        const uchar c = uchar(bytes.at(int(i)));
        if (c < 0x80 || (c >= 0xC0 && c < 0xF0))
            units += 1;
        else if (c >= 0xF0)
            units += 2;
        ++i;
    }
    while (i < bytes.size() && (uchar(bytes.at(int(i))) & 0xC0) == 0x80)
        ++i;
    return units == chars ? i : -1;
}

const char *const lineAttributes[] = {"channel", "dataType", "date", "time", "setTime", "value"};
enum { Channel, DataType, Date, Time, SetTime, Value, AttributeCount };

} // namespace

// Reads the header with QXmlStreamReader. The lines of a file the program
// wrote itself (plain attributes, nothing but lines between <data> and
// </device>) are read straight from the mapped bytes, several times faster;
// anything else in that part sends the whole file through the XML reader.
class ChartFileReader
{
public:
    // bytes: the whole file, for the direct path; null to read only through
    // the XML reader.
    ChartFileReader(QIODevice *device, const QByteArray *bytes, ChartFile &file)
        : reader(device), bytes(bytes), file(file)
    {
    }

    // False when the direct path met something it leaves to the XML reader.
    bool read()
    {
        if (!reader.readNextStartElement()) {
            fail();
            return true;
        }
        const bool device = reader.name() == QLatin1String("device");
        bool headerSeen = false;
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("header") && !headerSeen) {
                headerSeen = true;
                readHeader();
            } else if (device && reader.name() == QLatin1String("data")) {
                const qint64 start = bytes ? dataStart() : -1;
                if (start >= 0) {
                    if (!readDataDirectly(start))
                        return false;
                    file.m_status = ChartFile::Loaded;
                    return true;
                }
                readData();
            } else {
                reader.skipCurrentElement();
            }
        }
        // Whatever follows the root must still be well-formed.
        while (!reader.atEnd())
            reader.readNext();
        if (reader.hasError())
            fail();
        else
            file.m_status = ChartFile::Loaded;
        return true;
    }

private:
    void fail()
    {
        file = ChartFile();
        file.m_status = ChartFile::Malformed;
        file.m_error = reader.hasError() ? QStringLiteral("%1 (line %2, column %3)")
                                               .arg(reader.errorString())
                                               .arg(reader.lineNumber())
                                               .arg(reader.columnNumber())
                                         : QStringLiteral("no root element");
    }

    void readHeader()
    {
        bool stationSeen = false, setupSeen = false;
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("station") && !stationSeen) {
                stationSeen = true;
                readStation();
            } else if (reader.name() == QLatin1String("setup") && !setupSeen) {
                setupSeen = true;
                readChannels();
            } else {
                reader.skipCurrentElement();
            }
        }
    }

    void readStation()
    {
        bool nameSeen = false;
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("name") && !nameSeen) {
                nameSeen = true;
                file.m_stationName = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            } else {
                reader.skipCurrentElement();
            }
        }
    }

    // Every `channel` at any depth, in document order.
    void readChannels()
    {
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("channel"))
                readChannel();
            else
                readChannels();
        }
    }

    void readChannel()
    {
        const int index = file.m_channels.size();
        ChartChannel channel;
        channel.id = reader.attributes().value(QLatin1String("id")).toInt();
        file.m_channels.append(channel);
        bool nameSeen = false, unitSeen = false;
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("name") && !nameSeen) {
                nameSeen = true;
                file.m_channels[index].name = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (reader.name() == QLatin1String("unit") && !unitSeen) {
                unitSeen = true;
                file.m_channels[index].unit = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (reader.name() == QLatin1String("channel")) {
                readChannel();
            } else {
                readChannels();
            }
        }
    }

    void readData()
    {
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("line")) {
                const QXmlStreamAttributes attributes = reader.attributes();
                QStringRef values[AttributeCount];
                for (int i = 0; i < AttributeCount; ++i)
                    values[i] = attributes.value(QLatin1String(lineAttributes[i]));
                addLine(values);
            }
            reader.skipCurrentElement();
        }
    }

    template<typename Text> void addLine(const Text (&values)[AttributeCount])
    {
        const Text &type = values[DataType];
        int kind;
        if (type == QLatin1String("INS"))
            kind = ChartFile::Instant;
        else if (type == QLatin1String("MIN"))
            kind = ChartFile::DailyMinimum;
        else if (type == QLatin1String("MAX"))
            kind = ChartFile::DailyMaximum;
        else
            return;
        ChartFile::Value v;
        if (!readFloat(values[Value].trimmed(), &v.value) || !std::isfinite(v.value) ||
            !times.msecs(values[Date], values[Time], &v.msecs))
            return;
        seriesOf(values[Channel]).values[kind].append(v);
    }

    template<typename Text> ChartFile::Series &seriesOf(const Text &channel)
    {
        if (last < file.m_series.size() && file.m_series[last].channel == channel)
            return file.m_series[last];
        for (last = 0; last < file.m_series.size(); ++last)
            if (file.m_series[last].channel == channel)
                return file.m_series[last];
        ChartFile::Series series;
        series.channel = text(channel);
        file.m_series.append(series);
        return file.m_series[last];
    }

    // Where the content of the `data` element just read begins in the bytes,
    // or -1 when the direct path cannot be used.
    qint64 dataStart() const
    {
        if (bytes->startsWith("\xEF\xBB\xBF") ||
            !(reader.documentEncoding().isEmpty() ||
              reader.documentEncoding().compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0))
            return -1;
        const qint64 end = byteOffset(*bytes, reader.characterOffset());
        if (end < 2 || bytes->at(int(end - 1)) != '>' || bytes->at(int(end - 2)) == '/')
            return -1;
        const int open = bytes->lastIndexOf('<', int(end - 1));
        if (open < 0 || !bytes->mid(open, 5).startsWith("<data") || bytes->indexOf('>', open) != end - 1)
            return -1;
        return end;
    }

    bool readDataDirectly(qint64 start)
    {
        const char *p = bytes->constData() + start;
        const char *const end = bytes->constData() + bytes->size();
        auto skipSpace = [&] {
            while (p < end && isSpace(*p))
                ++p;
        };
        auto at = [&](const char *text) {
            const size_t n = std::strlen(text);
            return size_t(end - p) >= n && !std::memcmp(p, text, n);
        };
        for (;;) {
            skipSpace();
            if (at("<line") && p + 5 < end && (isSpace(p[5]) || p[5] == '/')) {
                p += 5;
                if (!readLineDirectly(p, end))
                    return false;
            } else if (at("</data")) {
                p += 6;
                skipSpace();
                if (p == end || *p != '>')
                    return false;
                ++p;
                break;
            } else {
                return false;
            }
        }
        skipSpace();
        if (!at("</device"))
            return false;
        p += 8;
        skipSpace();
        if (p == end || *p != '>')
            return false;
        ++p;
        skipSpace();
        return p == end;
    }

    // Attributes of a `line` up to its "/>"; false for anything unusual:
    // other attributes, repeats, entities, tabs or line breaks in values,
    // bytes outside ASCII, content.
    bool readLineDirectly(const char *&p, const char *end)
    {
        QLatin1String values[AttributeCount];
        unsigned seen = 0;
        for (;;) {
            const char *before = p;
            while (p < end && isSpace(*p))
                ++p;
            if (p == end)
                return false;
            if (*p == '/') {
                if (p + 1 == end || p[1] != '>')
                    return false;
                p += 2;
                break;
            }
            if (p == before)
                return false;
            const char *name = p;
            while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')))
                ++p;
            int index = 0;
            while (index < AttributeCount && !(size_t(p - name) == std::strlen(lineAttributes[index]) &&
                                               !std::memcmp(name, lineAttributes[index], size_t(p - name))))
                ++index;
            if (index == AttributeCount || (seen & (1u << index)))
                return false;
            seen |= 1u << index;
            while (p < end && isSpace(*p))
                ++p;
            if (p == end || *p != '=')
                return false;
            ++p;
            while (p < end && isSpace(*p))
                ++p;
            if (p == end || (*p != '"' && *p != '\''))
                return false;
            const char quote = *p++;
            const char *value = p;
            while (p < end && *p != quote) {
                const uchar c = uchar(*p);
                if (c == '<' || c == '&' || c < 0x20 || c >= 0x80)
                    return false;
                ++p;
            }
            if (p == end)
                return false;
            values[index] = QLatin1String(value, int(p - value));
            ++p;
        }
        addLine(values);
        return true;
    }

    QXmlStreamReader reader;
    const QByteArray *bytes;
    ChartFile &file;
    LocalTimes times;
    int last = 0;
};

ChartFile ChartFile::read(const QString &path)
{
    QFile device(path);
    if (!device.open(QIODevice::ReadOnly)) {
        ChartFile file;
        file.m_status = Unreadable;
        file.m_error = device.errorString();
        return file;
    }
    const qint64 size = device.size();
    const uchar *map = size > 0 && size < std::numeric_limits<int>::max() ? device.map(0, size) : nullptr;
    if (!map)
        return read(&device);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(map), int(size));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ChartFile file;
    if (ChartFileReader(&buffer, &bytes, file).read())
        return file;
    file = ChartFile();
    buffer.seek(0);
    ChartFileReader(&buffer, nullptr, file).read();
    return file;
}

ChartFile ChartFile::read(QIODevice *device)
{
    ChartFile file;
    ChartFileReader(device, nullptr, file).read();
    return file;
}

QVector<QPointF> ChartFile::points(int channelId, Kind kind, bool skipSensorErrors) const
{
    QVector<QPointF> points;
    // The channel attribute is compared as text, so "03" is not channel 3.
    const QString channel = QString::number(channelId);
    for (const Series &series : m_series) {
        if (series.channel != channel)
            continue;
        const QVector<Value> &values = series.values[kind];
        points.reserve(values.size());
        for (const Value &v : values)
            if (!skipSensorErrors || !isSensorError(v.value))
                points.append(QPointF(double(v.msecs), double(v.value)));
    }
    return points;
}
