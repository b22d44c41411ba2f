#include "nexil/excel/datalinereader.h"

#include "nexil/excel/workbook.h"
#include "nexil/logging.h"

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

DataLineReader::DataLineReader(QIODevice *device) : m_xml(device) {}

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
    while (m_inData && m_xml.readNextStartElement()) {
        if (m_xml.name() != QLatin1String("line")) {
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

void DataLineReader::skipToEnd()
{
    // Later "data" elements and whatever follows the root must still be
    // well-formed.
    while (!m_xml.atEnd())
        m_xml.readNext();
}

} // namespace report
