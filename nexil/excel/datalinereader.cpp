#include "nexil/excel/datalinereader.h"

#include "nexil/excel/workbook.h"
#include "nexil/logging.h"

#include <QFile>
#include <QSet>

namespace report {

namespace {
// Only the first element of a name counts, as in the document form's
// firstChildElement().
bool firstTime(QSet<QString> &seen, const QStringRef &name)
{
    const QString n = name.toString();
    if (seen.contains(n))
        return false;
    seen.insert(n);
    return true;
}
} // namespace

DataLineReader::DataLineReader(QIODevice *device, bool scan)
    : m_xml(device), m_device(device), m_scanAllowed(scan)
{
}

DataLineReader::~DataLineReader() = default;

QString DataLineReader::errorText() const
{
    return QStringLiteral("XML Error at %1/%2\n\n%3")
        .arg(m_xml.lineNumber())
        .arg(m_xml.columnNumber())
        .arg(m_xml.errorString());
}

bool DataLineReader::readHeader(Header *header)
{
    *header = Header();
    QString channelCount;
    bool seenHeader = false;
    if (m_xml.readNextStartElement()) {
        while (m_xml.readNextStartElement()) {
            const QStringRef name = m_xml.name();
            if (name == QLatin1String("header") && !seenHeader) {
                seenHeader = true;
                QSet<QString> seen;
                while (m_xml.readNextStartElement()) {
                    const bool first = firstTime(seen, m_xml.name());
                    if (first && m_xml.name() == QLatin1String("station"))
                        readStation(header);
                    else if (first && m_xml.name() == QLatin1String("setup"))
                        readSetup(header, &channelCount);
                    else if (first && m_xml.name() == QLatin1String("supply_voltage"))
                        header->supplyVoltage = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
                    else
                        m_xml.skipCurrentElement();
                }
            } else if (name == QLatin1String("data")) {
                // The lines are read one by one from here.
                m_inData = true;
                startScan();
                break;
            } else {
                m_xml.skipCurrentElement();
            }
        }
    }
    if (!m_inData)
        skipToEnd();
    bool ok = false;
    header->channelCount = channelCount.trimmed().toInt(&ok);
    if (!ok)
        header->channelCount = header->channels.size();
    return !m_xml.hasError();
}

void DataLineReader::readStation(Header *header)
{
    QSet<QString> seen;
    while (m_xml.readNextStartElement()) {
        const bool first = firstTime(seen, m_xml.name());
        if (first && m_xml.name() == QLatin1String("name"))
            header->stationName = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
        else if (first && m_xml.name() == QLatin1String("code"))
            header->stationCode = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
        else
            m_xml.skipCurrentElement();
    }
}

void DataLineReader::readSetup(Header *header, QString *channelCount)
{
    QSet<QString> seen;
    while (m_xml.readNextStartElement()) {
        const bool first = firstTime(seen, m_xml.name());
        if (first && m_xml.name() == QLatin1String("timestamp"))
            header->setupTimestamp = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
        else if (first && m_xml.name() == QLatin1String("channel_count"))
            *channelCount = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
        else if (first && m_xml.name() == QLatin1String("channels"))
            readChannels(header);
        else
            m_xml.skipCurrentElement();
    }
}

void DataLineReader::readChannels(Header *header)
{
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() != QLatin1String("channel")) {
            m_xml.skipCurrentElement();
            continue;
        }
        Channel c;
        c.id = m_xml.attributes().value(QLatin1String("id")).toInt();
        c.code = m_xml.attributes().value(QLatin1String("code")).toString();
        QSet<QString> seen;
        while (m_xml.readNextStartElement()) {
            const bool first = firstTime(seen, m_xml.name());
            if (first && m_xml.name() == QLatin1String("name"))
                c.name = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (first && m_xml.name() == QLatin1String("unit"))
                c.unit = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (first && m_xml.name() == QLatin1String("interval"))
                c.interval = m_xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toInt();
            else
                m_xml.skipCurrentElement();
        }
        header->channels.append(c);
    }
}

void DataLineReader::setFilter(const QVector<int> &channels, bool instantOnly)
{
    m_channels.clear();
    for (const int c : channels) {
        if (c < 0)
            continue;
        if (c >= m_channels.size())
            m_channels.resize(c + 1);
        m_channels[c] = true;
    }
    m_instantOnly = instantOnly;
}

bool DataLineReader::readLine(Line *line)
{
    while (m_raw) {
        switch (scanLine(line)) {
        case Scanned::Line:
            return true;
        case Scanned::Skipped:
            continue;
        case Scanned::End:
            m_raw.reset();
            m_inData = false;
            return false;
        case Scanned::Unknown:
            // The parser goes on from the data's start, past what was scanned.
            qCDebug(lcExcel, "DataLineReader: scan handed over after %lld lines", m_linesScanned);
            m_linesToSkip = m_linesScanned;
            m_raw.reset();
            break;
        }
    }
    while (m_inData && m_xml.readNextStartElement()) {
        if (m_xml.name() != QLatin1String("line")) {
            m_xml.skipCurrentElement();
            continue;
        }
        if (m_linesToSkip > 0) {
            --m_linesToSkip;
            m_xml.skipCurrentElement();
            continue;
        }
        const QXmlStreamAttributes a = m_xml.attributes();
        m_xml.skipCurrentElement();
        bool ok = false;
        const int channel = a.value(QLatin1String("channel")).toInt(&ok);
        if (!ok || channel < 0 || channel > Workbook::GridColumns) {
            qCDebug(lcExcel, "ExcelConverter: line with channel \"%s\" skipped",
                    qPrintable(a.value(QLatin1String("channel")).toString()));
            continue;
        }
        if (!m_channels.isEmpty() && (channel >= m_channels.size() || !m_channels.at(channel)))
            continue;
        const QStringRef typeText = a.value(QLatin1String("dataType"));
        if (m_instantOnly && typeText != QLatin1String("INS"))
            continue;
        const LineType type = lineType(typeText.toString());
        line->channel = channel;
        line->type = type;
        line->date = a.value(QLatin1String("date")).toString();
        line->time = a.value(QLatin1String("time")).toString();
        const QStringRef value = a.value(QLatin1String("value"));
        line->valueText = value.toString();
        line->value.number = value.toDouble(&ok);
        // A value that is not a number is still shown, as text.
        line->value.text = ok ? QString() : value.toString();
        if (!ok && line->value.text.isNull())
            line->value.text = QLatin1String("");
        return true;
    }
    if (m_inData) {
        m_inData = false;
        skipToEnd();
    }
    return false;
}

void DataLineReader::startScan()
{
    auto *file = qobject_cast<QFile *>(m_device);
    if (!m_scanAllowed || !file || file->fileName().isEmpty())
        return;
    // The very file the parser reads, even if a newer one has replaced it
    // under the same name since: opened again through its descriptor.
    auto raw = std::make_unique<QFile>(QStringLiteral("/proc/self/fd/%1").arg(file->handle()));
    if (file->handle() < 0 || !raw->open(QIODevice::ReadOnly))
        return;
    // Where the parser stands in bytes: the characters it has read, counted
    // in the file's UTF-8 (a character beyond 16 bits is two of them).
    const qint64 chars = m_xml.characterOffset();
    if (chars <= 0 || chars > 4 * 1024 * 1024)
        return;
    QByteArray head;
    qint64 counted = 0;
    while (counted < chars) {
        char c;
        if (!raw->getChar(&c))
            return;
        head += c;
        const auto u = uchar(c);
        if ((u & 0xC0) != 0x80)
            counted += (u >= 0xF0) ? 2 : 1;
    }
    // Anything unexpected (another encoding, a byte order mark, a data
    // element with attributes): the parser reads the lines.
    if (!head.endsWith("<data>"))
        return;
    m_head = head;
    m_raw = std::move(raw);
    m_buffer.clear();
    m_bufferPos = 0;
    m_rawEnd = false;
    m_linesScanned = 0;
}

bool DataLineReader::nextRawLine(QByteArray *raw)
{
    for (;;) {
        const int nl = m_buffer.indexOf('\n', m_bufferPos);
        if (nl >= 0) {
            // Valid until the buffer is read again.
            *raw = QByteArray::fromRawData(m_buffer.constData() + m_bufferPos, nl - m_bufferPos);
            m_bufferPos = nl + 1;
            return true;
        }
        // A line longer than this is nothing the suite writes.
        if (m_buffer.size() - m_bufferPos > 64 * 1024)
            return false;
        if (m_rawEnd) {
            if (m_bufferPos >= m_buffer.size())
                return false;
            *raw = m_buffer.mid(m_bufferPos);
            m_bufferPos = m_buffer.size();
            return true;
        }
        m_buffer.remove(0, m_bufferPos);
        m_bufferPos = 0;
        const QByteArray more = m_raw->read(256 * 1024);
        if (more.isEmpty())
            m_rawEnd = true;
        m_buffer += more;
    }
}

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

} // namespace

DataLineReader::Scanned DataLineReader::scanLine(Line *line)
{
    QByteArray raw;
    if (!nextRawLine(&raw))
        return Scanned::Unknown;
    const char *p = raw.constData();
    const char *end = p + raw.size();
    while (p < end && isBlank(*p))
        ++p;
    while (end > p && isBlank(end[-1]))
        --end;
    if (p == end)
        return Scanned::Skipped;
    for (const char *q = p; q < end; ++q) {
        // Only plain ASCII text without control characters: anything else
        // is left to the parser.
        if (uchar(*q) >= 0x80 || (uchar(*q) < 0x20 && *q != '\t' && *q != '\r'))
            return Scanned::Unknown;
    }
    const QByteArray text = QByteArray::fromRawData(p, int(end - p));
    if (text == "</data>")
        return tailWellFormed() ? Scanned::End : Scanned::Unknown;
    if (!text.startsWith("<line") || text.size() < 7 || !isBlank(text.at(5)) || !text.endsWith("/>"))
        return Scanned::Unknown;
    // name="value" pairs, each name once, no references in the values.
    QByteArray names[8], values[8];
    int count = 0;
    const char *q = p + 5;
    const char *stop = end - 2;
    for (;;) {
        const char *before = q;
        while (q < stop && isBlank(*q))
            ++q;
        if (q == stop)
            break;
        if (q == before || count == 8)
            return Scanned::Unknown;
        const char *name = q;
        while (q < stop && isNameChar(*q))
            ++q;
        if (q == name || q >= stop || *q != '=' || q + 1 >= stop)
            return Scanned::Unknown;
        const QByteArray n = QByteArray::fromRawData(name, int(q - name));
        ++q;
        const char quote = *q;
        if (quote != '"' && quote != '\'')
            return Scanned::Unknown;
        const char *value = ++q;
        while (q < stop && *q != quote) {
            if (*q == '<' || *q == '&' || *q == '\t' || *q == '\r')
                return Scanned::Unknown;
            ++q;
        }
        if (q >= stop)
            return Scanned::Unknown;
        for (int i = 0; i < count; ++i) {
            if (names[i] == n)
                return Scanned::Unknown;
        }
        names[count] = n;
        values[count] = QByteArray::fromRawData(value, int(q - value));
        ++count;
        ++q;
    }
    ++m_linesScanned;
    QByteArray channel, type, date, time, value;
    for (int i = 0; i < count; ++i) {
        if (names[i] == "channel")
            channel = values[i];
        else if (names[i] == "dataType")
            type = values[i];
        else if (names[i] == "date")
            date = values[i];
        else if (names[i] == "time")
            time = values[i];
        else if (names[i] == "value")
            value = values[i];
    }
    return accept(channel, type, date, time, value, line) ? Scanned::Line : Scanned::Skipped;
}

bool DataLineReader::accept(const QByteArray &channelText, const QByteArray &type, const QByteArray &date,
                            const QByteArray &time, const QByteArray &value, Line *line)
{
    // As the parser's lines are taken below.
    bool ok = false;
    const int channel = QString::fromLatin1(channelText).toInt(&ok);
    if (!ok || channel < 0 || channel > Workbook::GridColumns)
        return false;
    if (!m_channels.isEmpty() && (channel >= m_channels.size() || !m_channels.at(channel)))
        return false;
    if (m_instantOnly && type != "INS")
        return false;
    line->channel = channel;
    line->type = lineType(QString::fromLatin1(type));
    line->date = QString::fromLatin1(date);
    line->time = QString::fromLatin1(time);
    line->valueText = QString::fromLatin1(value);
    line->value.number = line->valueText.toDouble(&ok);
    line->value.text = ok ? QString() : line->valueText;
    if (!ok && line->value.text.isNull())
        line->value.text = QLatin1String("");
    return true;
}

bool DataLineReader::tailWellFormed()
{
    // The file without its lines: what comes before and after the data must
    // be well-formed as the parser would have found it.
    QByteArray rest = m_buffer.mid(m_bufferPos);
    while (!m_rawEnd) {
        const QByteArray more = m_raw->read(256 * 1024);
        if (more.isEmpty())
            m_rawEnd = true;
        rest += more;
        if (rest.size() > 4 * 1024 * 1024)
            return false;
    }
    QXmlStreamReader check(m_head + "</data>\n" + rest);
    while (!check.atEnd())
        check.readNext();
    return !check.hasError();
}

void DataLineReader::skipToEnd()
{
    // Later "data" elements and whatever follows the root must still be
    // well-formed.
    while (!m_xml.atEnd())
        m_xml.readNext();
}

} // namespace report
