#include "nexil/files/seriesexporter.h"

#include "nexil/excel/datalinereader.h"
#include "nexil/excel/reportrules.h"
#include "nexil/logging.h"

#include <QDate>
#include <QFile>
#include <QIODevice>
#include <QMap>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr qint64 kDay = 1440;
// The value ZRXP readers take as "no value"; a sensor error is written as it.
const char *const kRinval = "-777";
const char *const kNs = "http://www.opengis.net/waterml/2.0";

// One instant value. Minutes of the calendar (Julian day × 1440 + minute of
// the day): the files hold wall-clock times and the offset is added on
// writing, so the host's zone plays no part.
struct Value
{
    qint64 minute;
    double value;
    qint32 order; // read order, so that a repeated value keeps the last one
    qint16 channel;
    bool error;
};
static_assert(sizeof(Value) == 24, "a year of values should stay small");

qint64 minuteOf(const QString &date, const QString &time)
{
    const QDate d = report::parseDate(date);
    const int minute = report::parseMinuteOfDay(time);
    if (!d.isValid() || minute < 0)
        return 0;
    return d.toJulianDay() * kDay + minute;
}

// Texts from a data file end up in XML, ZRXP headers and CSV cells: control
// characters (which XML 1.0 cannot hold) become spaces.
QString clean(const QString &text)
{
    QString s = text;
    for (QChar &c : s)
        if (c.unicode() < 0x20 || (c.unicode() >= 0xd800 && c.unicode() < 0xe000) || c.unicode() >= 0xfffe)
            c = QLatin1Char(' ');
    return s.trimmed();
}

QByteArray xmlText(const QString &text)
{
    QString s = clean(text);
    s.replace(QLatin1Char('&'), QLatin1String("&amp;"))
        .replace(QLatin1Char('<'), QLatin1String("&lt;"))
        .replace(QLatin1Char('>'), QLatin1String("&gt;"))
        .replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return s.toUtf8();
}

struct ChannelInfo
{
    QString name, unit;
};

// Writes into a buffer handed to the device in large pieces.
class Sink
{
public:
    explicit Sink(QIODevice *out) : m_out(out) { m_buffer.reserve(kFlush + 4096); }
    Sink &operator<<(const char *text)
    {
        m_buffer.append(text);
        return *this;
    }
    Sink &operator<<(const QByteArray &text)
    {
        m_buffer.append(text);
        return *this;
    }
    Sink &operator<<(char c)
    {
        m_buffer.append(c);
        return *this;
    }
    void flushIfFull()
    {
        if (m_buffer.size() >= kFlush)
            flush();
    }
    bool flush()
    {
        if (!m_failed && !m_buffer.isEmpty() && m_out->write(m_buffer) != m_buffer.size())
            m_failed = true;
        m_buffer.clear();
        return !m_failed;
    }

private:
    static constexpr int kFlush = 1 << 16;
    QIODevice *m_out;
    QByteArray m_buffer;
    bool m_failed = false;
};

// Date-time texts, the date part computed once per day.
class Clock
{
public:
    explicit Clock(int offset) : m_offset(SeriesExporter::utcOffsetText(offset).toLatin1()) {}

    // yyyy-MM-ddTHH:mm:00+hh:mm
    const QByteArray &iso(qint64 minute)
    {
        date(minute);
        const int rest = int(minute % kDay);
        char *p = m_iso.data() + 11;
        two(p, rest / 60);
        two(p + 3, rest % 60);
        return m_iso;
    }
    // yyyyMMddHHmmss
    const QByteArray &compact(qint64 minute)
    {
        date(minute);
        const int rest = int(minute % kDay);
        char *p = m_compact.data() + 8;
        two(p, rest / 60);
        two(p + 2, rest % 60);
        return m_compact;
    }

private:
    static void two(char *p, int v)
    {
        p[0] = char('0' + v / 10);
        p[1] = char('0' + v % 10);
    }
    void date(qint64 minute)
    {
        const qint64 day = minute / kDay;
        if (day == m_day)
            return;
        m_day = day;
        const QDate d = QDate::fromJulianDay(day);
        const QByteArray ymd = d.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
        m_iso = ymd + "T00:00:00" + m_offset;
        m_compact = d.toString(QStringLiteral("yyyyMMdd")).toLatin1() + "000000";
    }

    QByteArray m_offset;
    qint64 m_day = -1;
    QByteArray m_iso, m_compact;
};

QByteArray number(double v, char decimal)
{
    QByteArray s = QByteArray::number(v, 'f', 4);
    if (decimal != '.')
        s.replace('.', decimal);
    return s;
}

} // namespace

bool SeriesExporter::parseFormat(const QString &text, Format *format)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("waterml2"))
        *format = Format::WaterML2;
    else if (t == QLatin1String("zrxp"))
        *format = Format::Zrxp;
    else if (t == QLatin1String("csv"))
        *format = Format::Csv;
    else
        return false;
    return true;
}

QString SeriesExporter::formatName(Format format)
{
    switch (format) {
    case Format::WaterML2:
        return QStringLiteral("waterml2");
    case Format::Zrxp:
        return QStringLiteral("zrxp");
    case Format::Csv:
        break;
    }
    return QStringLiteral("csv");
}

QString SeriesExporter::suffix(Format format)
{
    switch (format) {
    case Format::WaterML2:
        return QStringLiteral("wml2.xml");
    case Format::Zrxp:
        return QStringLiteral("zrx");
    case Format::Csv:
        break;
    }
    return QStringLiteral("csv");
}

bool SeriesExporter::parseLocale(const QString &text, Locale *locale)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("c") || t == QLatin1String("en"))
        *locale = Locale::C;
    else if (t == QLatin1String("tr") || t == QLatin1String("tr_tr"))
        *locale = Locale::Turkish;
    else if (t == QLatin1String("de") || t == QLatin1String("de_de"))
        *locale = Locale::German;
    else
        return false;
    return true;
}

bool SeriesExporter::parseUtcOffset(const QString &text, int *minutes)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("Z")) {
        *minutes = 0;
        return true;
    }
    // "+hh:mm" or "-hh:mm", up to 14 hours.
    const int offset = t.size() == 6 ? report::parseMinuteOfDay(t.mid(1)) : -1;
    if (offset < 0 || offset > 14 * 60 || (t.at(0) != QLatin1Char('+') && t.at(0) != QLatin1Char('-')))
        return false;
    *minutes = (t.at(0) == QLatin1Char('-') ? -1 : 1) * offset;
    return true;
}

QString SeriesExporter::utcOffsetText(int minutes)
{
    const int a = std::abs(minutes);
    return QStringLiteral("%1%2:%3")
        .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(a / 60, 2, 10, QLatin1Char('0'))
        .arg(a % 60, 2, 10, QLatin1Char('0'));
}

void SeriesExporter::setRange(const QDateTime &from, const QDateTime &to)
{
    const auto minute = [](const QDateTime &t) {
        return t.isValid() ? t.date().toJulianDay() * kDay + t.time().hour() * 60 + t.time().minute() : 0;
    };
    m_from = minute(from);
    m_to = minute(to);
}

bool SeriesExporter::run(const QStringList &paths, QIODevice *out)
{
    m_error.clear();
    m_count = 0;
    QString code, name;
    QMap<int, ChannelInfo> channels;
    std::vector<Value> values;
    qint32 order = 0;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return false;
        }
        // A line takes some 90 bytes in the file: room without regrowing.
        values.reserve(values.size() + size_t(file.size() / 80));
        report::DataLineReader reader(&file);
        reader.setFilter(m_wanted, true);
        report::Header header;
        bool ok = reader.readHeader(&header);
        report::Line line;
        while (ok && reader.readLine(&line)) {
            const qint64 minute = minuteOf(line.date, line.time);
            if (minute == 0 || (m_from && minute < m_from) || (m_to && minute > m_to))
                continue;
            // A value that is not a number says no more than a sensor error.
            const bool error = !line.value.isNumber() || report::isSensorError(line.value.number) ||
                               !std::isfinite(line.value.number);
            values.push_back({minute, error ? 0 : line.value.number, order++, qint16(line.channel), error});
        }
        if (reader.hasError()) {
            m_error = QStringLiteral("%1 is not a well-formed data file: %2")
                          .arg(path, reader.errorText().simplified());
            return false;
        }
        // The last file given names the station and the channels.
        if (!header.stationCode.isEmpty())
            code = header.stationCode;
        if (!header.stationName.isEmpty())
            name = header.stationName;
        for (const report::Channel &c : header.channels)
            if (m_wanted.isEmpty() || m_wanted.contains(c.id))
                channels[c.id] = {c.name, c.unit};
    }
    qCDebug(lcFiles, "SeriesExporter: %zu values from %d files", values.size(), int(paths.size()));

    const bool byTime = m_format == Format::Csv;
    std::sort(values.begin(), values.end(), [byTime](const Value &a, const Value &b) {
        if (byTime ? a.minute != b.minute : a.channel != b.channel)
            return byTime ? a.minute < b.minute : a.channel < b.channel;
        if (byTime ? a.channel != b.channel : a.minute != b.minute)
            return byTime ? a.channel < b.channel : a.minute < b.minute;
        return a.order > b.order;
    });
    // The first of equal (channel, minute) is the last read.
    values.erase(std::unique(values.begin(), values.end(),
                             [](const Value &a, const Value &b) {
                                 return a.minute == b.minute && a.channel == b.channel;
                             }),
                 values.end());
    // A line may name a channel the header does not list.
    for (const Value &v : values)
        if (!channels.contains(v.channel))
            channels[v.channel] = {QStringLiteral("Channel %1").arg(v.channel), QString()};
    m_count = qint64(values.size());

    Sink sink(out);
    Clock clock(m_offset);
    if (m_format == Format::Csv) {
        const bool comma = m_locale != Locale::C;
        const char separator = comma ? ';' : ',';
        const char decimal = comma ? ',' : '.';
        // Spreadsheets take the table as UTF-8 only with the mark.
        if (comma)
            sink << "\xEF\xBB\xBF";
        const auto cell = [separator](QString text) {
            text = clean(text);
            // A leading = + - @ would be read as a formula.
            if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.at(0)))
                text.prepend(QLatin1Char('\''));
            if (text.contains(QLatin1Char(separator)) || text.contains(QLatin1Char('"')))
                text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                       QLatin1Char('"');
            return text.toUtf8();
        };
        sink << "time";
        QVector<int> ids;
        for (auto it = channels.cbegin(); it != channels.cend(); ++it) {
            ids.append(it.key());
            const QString unit = clean(it->unit);
            sink << separator
                 << cell(unit.isEmpty() ? it->name : QStringLiteral("%1 (%2)").arg(clean(it->name), unit));
        }
        sink << "\r\n";
        size_t i = 0;
        while (i < values.size()) {
            const qint64 minute = values[i].minute;
            sink << clock.iso(minute);
            for (int id : ids) {
                sink << separator;
                if (i < values.size() && values[i].minute == minute && values[i].channel == id) {
                    if (!values[i].error)
                        sink << number(values[i].value, decimal);
                    ++i;
                }
            }
            sink << "\r\n";
            sink.flushIfFull();
        }
    } else if (m_format == Format::Zrxp) {
        const auto header = [](const QString &text) { return clean(text).remove(QLatin1Char('|')).toUtf8(); };
        size_t i = 0;
        for (auto it = channels.cbegin(); it != channels.cend(); ++it) {
            sink << "#ZRXPVERSION3014.03|*|ZRXPCREATORnexil|*|\n"
                 << "#SANR" << header(code) << "|*|SNAME" << header(name) << "|*|\n"
                 << "#CNAME" << header(it->name) << "|*|CUNIT" << header(it->unit) << "|*|RINVAL" << kRinval
                 << "|*|\n"
                 << "#TZUTC" << utcOffsetText(m_offset).toLatin1() << "|*|\n"
                 << "#LAYOUT(timestamp,value)|*|\n";
            for (; i < values.size() && values[i].channel == it.key(); ++i) {
                sink << clock.compact(values[i].minute) << ' '
                     << (values[i].error ? QByteArray(kRinval) : number(values[i].value, '.')) << '\n';
                sink.flushIfFull();
            }
        }
    } else {
        const QByteArray generated = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1();
        sink << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             << "<wml2:Collection xmlns:wml2=\"" << kNs << "\"\n"
             << "    xmlns:gml=\"http://www.opengis.net/gml/3.2\"\n"
             << "    xmlns:om=\"http://www.opengis.net/om/2.0\"\n"
             << "    xmlns:xlink=\"http://www.w3.org/1999/xlink\"\n"
             << "    xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
             << "    xsi:schemaLocation=\"" << kNs
             << " http://schemas.opengis.net/waterml/2.0/waterml2.xsd\"\n"
             << "    gml:id=\"collection\">\n"
             << "  <wml2:metadata><wml2:DocumentMetadata gml:id=\"document\">"
             << "<wml2:generationDate>" << generated << "</wml2:generationDate>"
             << "<wml2:generationSystem>nexil</wml2:generationSystem>"
             << "</wml2:DocumentMetadata></wml2:metadata>\n";
        const QByteArray stationName = xmlText(name);
        size_t i = 0;
        for (auto it = channels.cbegin(); it != channels.cend(); ++it) {
            const size_t first = i;
            size_t end = i;
            while (end < values.size() && values[end].channel == it.key())
                ++end;
            const QByteArray id = QByteArray::number(it.key());
            sink << "  <wml2:observationMember>\n"
                 << "    <om:OM_Observation gml:id=\"observation." << id << "\">\n";
            if (end > first)
                sink << "      <om:phenomenonTime><gml:TimePeriod gml:id=\"period." << id << "\">"
                     << "<gml:beginPosition>" << clock.iso(values[first].minute) << "</gml:beginPosition>"
                     << "<gml:endPosition>" << clock.iso(values[end - 1].minute)
                     << "</gml:endPosition></gml:TimePeriod></om:phenomenonTime>\n"
                     << "      <om:resultTime><gml:TimeInstant gml:id=\"result." << id << "\">"
                     << "<gml:timePosition>" << clock.iso(values[end - 1].minute)
                     << "</gml:timePosition></gml:TimeInstant></om:resultTime>\n";
            else // no value of the channel in range
                sink << "      <om:phenomenonTime nilReason=\"missing\"/>\n"
                     << "      <om:resultTime nilReason=\"missing\"/>\n";
            sink << "      <om:procedure xlink:href=\"urn:nexil:logger\"/>\n"
                 << "      <om:observedProperty xlink:href=\"urn:nexil:channel:" << id << "\" xlink:title=\""
                 << xmlText(it->name) << "\"/>\n"
                 << "      <om:featureOfInterest xlink:href=\"urn:nexil:station:"
                 << QUrl::toPercentEncoding(clean(code)) << "\" xlink:title=\"" << stationName << "\"/>\n"
                 << "      <om:result>\n"
                 << "        <wml2:MeasurementTimeseries gml:id=\"series." << id << "\">\n"
                 << "          <wml2:defaultPointMetadata><wml2:DefaultTVPMeasurementMetadata>"
                 << "<wml2:uom code=\"" << xmlText(it->unit) << "\"/>"
                 << "<wml2:interpolationType "
                    "xlink:href=\"http://www.opengis.net/def/waterml/2.0/interpolationType/Continuous\" "
                    "xlink:title=\"Instantaneous\"/>"
                 << "</wml2:DefaultTVPMeasurementMetadata></wml2:defaultPointMetadata>\n";
            for (; i < end; ++i) {
                sink << "          <wml2:point><wml2:MeasurementTVP><wml2:time>"
                     << clock.iso(values[i].minute) << "</wml2:time>";
                if (values[i].error)
                    sink << "<wml2:value xsi:nil=\"true\"/><wml2:metadata><wml2:TVPMeasurementMetadata>"
                            "<wml2:nilReason xlink:href=\"http://www.opengis.net/def/nil/OGC/0/missing\" "
                            "xlink:title=\"sensor error\"/>"
                            "</wml2:TVPMeasurementMetadata></wml2:metadata>";
                else
                    sink << "<wml2:value>" << number(values[i].value, '.') << "</wml2:value>";
                sink << "</wml2:MeasurementTVP></wml2:point>\n";
                sink.flushIfFull();
            }
            sink << "        </wml2:MeasurementTimeseries>\n      </om:result>\n"
                 << "    </om:OM_Observation>\n  </wml2:observationMember>\n";
        }
        sink << "</wml2:Collection>\n";
    }
    if (!sink.flush()) {
        m_error = QStringLiteral("writing failed: %1").arg(out->errorString());
        return false;
    }
    return true;
}
