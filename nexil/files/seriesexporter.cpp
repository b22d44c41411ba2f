#include "nexil/files/seriesexporter.h"

#include "nexil/files/channelmap.h"

#include "nexil/excel/datalinereader.h"
#include "nexil/excel/reportrules.h"
#include "nexil/logging.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QMap>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

namespace {

constexpr qint64 kDay = 1440;
// The value ZRXP readers take as "no value"; a sensor error is written as it.
const char *const kRinval = "-777";
const char *const kNs = "http://www.opengis.net/waterml/2.0";
const char *const kQuality = "http://www.opengis.net/def/waterml/2.0/quality/";

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
    quint8 flag; // 0 when the export carries no flags
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
    QString name, unit, code;
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
    // A tiny negative value rounds to "-0.0000", which readers take as a
    // value of its own.
    if (s.startsWith('-') && s.count('0') == s.size() - 2)
        s.remove(0, 1);
    if (decimal != '.')
        s.replace('.', decimal);
    return s;
}

// A ZRXP header text in the chosen encoding. For ISO-8859-1 a letter outside
// it is written without its accent (Ş → S, ğ → g); false when even that has
// no ISO-8859-1 form.
bool zrxpBytes(const QString &text, SeriesExporter::Encoding encoding, QByteArray *out)
{
    out->clear();
    if (encoding == SeriesExporter::Encoding::Utf8) {
        *out = text.toUtf8();
        return true;
    }
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x100) {
            out->append(char(u));
            continue;
        }
        switch (u) {
        case 0x0131: // dotless ı
            out->append('i');
            continue;
        case 0x2018:
        case 0x2019:
            out->append('\'');
            continue;
        case 0x201c:
        case 0x201d:
            out->append('"');
            continue;
        case 0x2013:
        case 0x2014:
            out->append('-');
            continue;
        default:
            break;
        }
        if (!c.isSurrogate() && c.decompositionTag() == QChar::Canonical) {
            const QString base = c.decomposition();
            if (!base.isEmpty() && base.at(0).unicode() < 0x100) {
                out->append(char(base.at(0).unicode()));
                continue;
            }
        }
        return false;
    }
    return true;
}

} // namespace

QByteArray SeriesExporter::qualityOf(int flag)
{
    switch (flag) {
    case 1:
        return "good";
    case 3:
        return "suspect";
    case 4:
        return "poor";
    case 9:
        return "missing";
    default:
        return "unchecked";
    }
}

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

bool SeriesExporter::parseEncoding(const QString &text, Encoding *encoding)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("iso-8859-1") || t == QLatin1String("latin1") || t == QLatin1String("latin-1"))
        *encoding = Encoding::Latin1;
    else if (t == QLatin1String("utf-8") || t == QLatin1String("utf8"))
        *encoding = Encoding::Utf8;
    else
        return false;
    return true;
}

QString SeriesExporter::ucumCode(const QString &unit)
{
    // The units the devices' channel codes offer and their common spellings.
    static const QHash<QString, QString> codes = {
        {QStringLiteral("mm"), QStringLiteral("mm")},
        {QStringLiteral("cm"), QStringLiteral("cm")},
        {QStringLiteral("m"), QStringLiteral("m")},
        {QStringLiteral("km"), QStringLiteral("km")},
        {QStringLiteral("C"), QStringLiteral("Cel")},
        {QStringLiteral("°C"), QStringLiteral("Cel")},
        {QStringLiteral("ºC"), QStringLiteral("Cel")},
        {QStringLiteral("Cel"), QStringLiteral("Cel")},
        {QStringLiteral("F"), QStringLiteral("[degF]")},
        {QStringLiteral("°F"), QStringLiteral("[degF]")},
        {QStringLiteral("K"), QStringLiteral("K")},
        {QStringLiteral("%"), QStringLiteral("%")},
        {QStringLiteral("bar"), QStringLiteral("bar")},
        {QStringLiteral("mbar"), QStringLiteral("mbar")},
        {QStringLiteral("hPa"), QStringLiteral("hPa")},
        {QStringLiteral("kPa"), QStringLiteral("kPa")},
        {QStringLiteral("Pa"), QStringLiteral("Pa")},
        {QStringLiteral("cb"), QStringLiteral("cbar")},
        {QStringLiteral("cbar"), QStringLiteral("cbar")},
        {QStringLiteral("m/s"), QStringLiteral("m/s")},
        {QStringLiteral("m/h"), QStringLiteral("m/h")},
        {QStringLiteral("km/h"), QStringLiteral("km/h")},
        {QStringLiteral("mm/h"), QStringLiteral("mm/h")},
        {QStringLiteral("mm/d"), QStringLiteral("mm/d")},
        {QStringLiteral("h/d"), QStringLiteral("h/d")},
        {QStringLiteral("degree"), QStringLiteral("deg")},
        {QStringLiteral("deg"), QStringLiteral("deg")},
        {QStringLiteral("°"), QStringLiteral("deg")},
        {QStringLiteral("V"), QStringLiteral("V")},
        {QStringLiteral("mV"), QStringLiteral("mV")},
        {QStringLiteral("A"), QStringLiteral("A")},
        {QStringLiteral("mA"), QStringLiteral("mA")},
        {QStringLiteral("W/m2"), QStringLiteral("W/m2")},
        {QStringLiteral("W/m²"), QStringLiteral("W/m2")},
        {QStringLiteral("mS/cm"), QStringLiteral("mS/cm")},
        {QStringLiteral("µS/cm"), QStringLiteral("uS/cm")},
        {QStringLiteral("uS/cm"), QStringLiteral("uS/cm")},
        {QStringLiteral("pH"), QStringLiteral("[pH]")},
        {QStringLiteral("l"), QStringLiteral("L")},
        {QStringLiteral("L"), QStringLiteral("L")},
        {QStringLiteral("l/s"), QStringLiteral("L/s")},
        {QStringLiteral("L/s"), QStringLiteral("L/s")},
        {QStringLiteral("l/m"), QStringLiteral("L/min")},
        {QStringLiteral("l/min"), QStringLiteral("L/min")},
        {QStringLiteral("l/h"), QStringLiteral("L/h")},
        {QStringLiteral("m3"), QStringLiteral("m3")},
        {QStringLiteral("m³"), QStringLiteral("m3")},
        {QStringLiteral("hm3"), QStringLiteral("hm3")},
        {QStringLiteral("hm³"), QStringLiteral("hm3")},
        {QStringLiteral("m3/s"), QStringLiteral("m3/s")},
        {QStringLiteral("m³/s"), QStringLiteral("m3/s")},
        {QStringLiteral("m3/m"), QStringLiteral("m3/min")},
        {QStringLiteral("m3/min"), QStringLiteral("m3/min")},
        {QStringLiteral("m³/min"), QStringLiteral("m3/min")},
        {QStringLiteral("m3/h"), QStringLiteral("m3/h")},
        {QStringLiteral("m³/h"), QStringLiteral("m3/h")},
        {QStringLiteral("mg/l"), QStringLiteral("mg/L")},
        {QStringLiteral("mg/L"), QStringLiteral("mg/L")},
        {QStringLiteral("s"), QStringLiteral("s")},
        {QStringLiteral("min"), QStringLiteral("min")},
        {QStringLiteral("h"), QStringLiteral("h")},
        {QStringLiteral("d"), QStringLiteral("d")},
    };
    return codes.value(clean(unit));
}

bool SeriesExporter::isReplaceable(const QString &path, QString *error)
{
    // Followed through links: a link to a device is a device.
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return true;
    *error = QStringLiteral("%1 is not a regular file; the export writes only to a regular file or a new "
                            "one")
                 .arg(path);
    return false;
}

bool SeriesExporter::run(const QStringList &paths, QIODevice *out)
{
    m_error.clear();
    m_warnings.clear();
    m_warningCount = 0;
    m_count = 0;
    const QStringList ordered = ChannelMap::byNameDate(paths);
    ChannelMap map;
    if (!map.read(ordered)) {
        m_error = map.errorText();
        return false;
    }
    QString code, name;
    std::vector<Value> values;
    std::vector<qint32> firstOrder; // per file, the order of its first value
    qint32 order = 0;
    for (int f = 0; f < ordered.size(); ++f) {
        const QString &path = ordered.at(f);
        firstOrder.push_back(order);
        const report::Header &header = map.headers().at(f);
        // The newest file naming the station names it.
        if (!header.stationCode.isEmpty())
            code = header.stationCode;
        if (!header.stationName.isEmpty())
            name = header.stationName;
        const QVector<int> positions = m_wanted.isEmpty() ? QVector<int>() : map.positionsOf(f, m_wanted);
        if (!m_wanted.isEmpty() && positions.isEmpty())
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return false;
        }
        // A line takes some 90 bytes in the file: room without regrowing.
        values.reserve(values.size() + size_t(file.size() / 80));
        report::DataLineReader reader(&file);
        reader.setFilter(positions, true);
        report::Header again;
        bool ok = reader.readHeader(&again);
        const QString fileName = QFileInfo(path).fileName();
        report::Line line;
        while (ok && reader.readLine(&line)) {
            const qint64 minute = minuteOf(line.date, line.time);
            if (minute == 0 || (m_from && minute < m_from) || (m_to && minute > m_to))
                continue;
            const int number =
                m_wanted.isEmpty() ? map.numberOrUnlisted(f, line.channel) : map.numberOf(f, line.channel);
            if (number < 0 || number > std::numeric_limits<qint16>::max())
                continue;
            // A value that is not a number says no more than a sensor error.
            const bool error = !line.value.isNumber() || report::isSensorError(line.value.number) ||
                               !std::isfinite(line.value.number);
            int flag = m_flags ? m_flags(fileName, line.channel, minute) : 0;
            if (m_flags && flag != 1 && flag != 3 && flag != 4 && flag != 9)
                flag = 2;
            values.push_back(
                {minute, error ? 0 : line.value.number, order++, qint16(number), error, quint8(flag)});
        }
        if (reader.hasError()) {
            m_error = QStringLiteral("%1 is not a well-formed data file: %2")
                          .arg(path, reader.errorText().simplified());
            return false;
        }
    }
    qCDebug(lcFiles, "SeriesExporter: %zu values from %d files", values.size(), int(paths.size()));

    QMap<int, ChannelInfo> channels;
    for (const ChannelMap::Identity &c : map.identities())
        if (m_wanted.isEmpty() || m_wanted.contains(c.number))
            channels[c.number] = {c.unlisted ? QStringLiteral("Channel %1").arg(c.number) : c.name, c.unit,
                                  c.code};

    const bool byTime = m_format == Format::Csv;
    std::sort(values.begin(), values.end(), [byTime](const Value &a, const Value &b) {
        if (byTime ? a.minute != b.minute : a.channel != b.channel)
            return byTime ? a.minute < b.minute : a.channel < b.channel;
        if (byTime ? a.channel != b.channel : a.minute != b.minute)
            return byTime ? a.channel < b.channel : a.minute < b.minute;
        return a.order > b.order;
    });
    // The first of equal (channel, minute) is the last read: the newer
    // file's, or the file's later line.
    const auto fileOf = [&firstOrder](qint32 position) {
        return int(std::upper_bound(firstOrder.begin(), firstOrder.end(), position) - firstOrder.begin()) - 1;
    };
    const auto valueText = [](const Value &v) {
        return v.error ? QByteArray("sensor error") : number(v.value, '.');
    };
    size_t kept = 0;
    bool warned = false;
    for (size_t r = 0; r < values.size(); ++r) {
        if (kept > 0 && values[kept - 1].minute == values[r].minute &&
            values[kept - 1].channel == values[r].channel) {
            const Value &newer = values[kept - 1], &older = values[r];
            const int newerFile = fileOf(newer.order), olderFile = fileOf(older.order);
            if (!warned && newerFile != olderFile && valueText(newer) != valueText(older)) {
                warned = true;
                if (++m_warningCount <= kMaxWarnings) {
                    const ChannelInfo &c = channels[newer.channel];
                    const QDateTime t(QDate::fromJulianDay(newer.minute / kDay),
                                      QTime(int(newer.minute % kDay) / 60, int(newer.minute % kDay) % 60));
                    m_warnings << QStringLiteral("channel %1 (%2) at %3: %4 has %5, the newer %6 has %7; %7 "
                                                 "written")
                                      .arg(newer.channel)
                                      .arg(clean(c.name), t.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                           QFileInfo(ordered.at(olderFile)).fileName(),
                                           QString::fromLatin1(valueText(older)),
                                           QFileInfo(ordered.at(newerFile)).fileName(),
                                           QString::fromLatin1(valueText(newer)));
                }
            }
            continue;
        }
        warned = false;
        values[kept++] = values[r];
    }
    values.resize(kept);
    m_count = qint64(values.size());

    // ZRXP: every header text checked before a byte is written, so that a
    // refused export leaves nothing half-made.
    QHash<int, QByteArray> zrxpName, zrxpUnit;
    QByteArray zrxpCode, zrxpStation;
    if (m_format == Format::Zrxp) {
        const QString station = clean(code).isEmpty() ? clean(name) : clean(code);
        const auto header = [&](const QString &what, const QString &value, QByteArray *bytes) {
            const QString t = clean(value);
            if (t.contains(QLatin1Char('|')) || t.contains(QLatin1String(";*;"))) {
                m_error = QStringLiteral("station %1: the %2 \"%3\" holds a ZRXP separator (| or ;*;); "
                                         "nothing was written")
                              .arg(station, what, t);
                return false;
            }
            if (!zrxpBytes(t, m_encoding, bytes)) {
                m_error = QStringLiteral("station %1: the %2 \"%3\" has characters ISO-8859-1 cannot hold; "
                                         "export it as UTF-8")
                              .arg(station, what, t);
                return false;
            }
            return true;
        };
        if (!header(QStringLiteral("station code"), code, &zrxpCode) ||
            !header(QStringLiteral("station name"), name, &zrxpStation))
            return false;
        for (auto it = channels.cbegin(); it != channels.cend(); ++it)
            if (!header(QStringLiteral("channel name"), it->name, &zrxpName[it.key()]) ||
                !header(QStringLiteral("unit"), it->unit, &zrxpUnit[it.key()]))
                return false;
    }

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
            const QString head =
                unit.isEmpty() ? it->name : QStringLiteral("%1 (%2)").arg(clean(it->name), unit);
            sink << separator << cell(head);
            // The flag beside its value, named after the same channel.
            if (m_flags)
                sink << separator << cell(QStringLiteral("%1 flag").arg(clean(head)));
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
                    if (m_flags)
                        sink << separator << QByteArray::number(values[i].flag);
                    ++i;
                } else if (m_flags) {
                    sink << separator;
                }
            }
            sink << "\r\n";
            sink.flushIfFull();
        }
    } else if (m_format == Format::Zrxp) {
        // "#TZUTC+3": the whole-hour form every common reader parses. Readers
        // take "+03:00" as UTC or as "+03" and drop the minutes of "+05:45",
        // so a station off by a fraction of an hour is written in UTC.
        const bool wholeHours = m_offset % 60 == 0;
        const int shift = wholeHours ? 0 : -m_offset;
        const int zone = wholeHours ? m_offset / 60 : 0;
        const QByteArray tz = (zone < 0 ? "-" : "+") + QByteArray::number(std::abs(zone));
        size_t i = 0;
        for (auto it = channels.cbegin(); it != channels.cend(); ++it) {
            sink << "#ZRXPVERSION3014.03|*|ZRXPCREATORnexil|*|\n"
                 << "#SANR" << zrxpCode << "|*|SNAME" << zrxpStation << "|*|\n"
                 << "#CNAME" << zrxpName.value(it.key()) << "|*|CUNIT" << zrxpUnit.value(it.key())
                 << "|*|RINVAL" << kRinval << "|*|\n"
                 << "#TZUTC" << tz << "|*|\n"
                 << (m_flags ? "#LAYOUT(timestamp,value,status)|*|\n" : "#LAYOUT(timestamp,value)|*|\n");
            for (; i < values.size() && values[i].channel == it.key(); ++i) {
                sink << clock.compact(values[i].minute + shift) << ' '
                     << (values[i].error ? QByteArray(kRinval) : number(values[i].value, '.'));
                if (m_flags)
                    sink << ' ' << QByteArray::number(values[i].flag);
                sink << '\n';
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
        const QByteArray stationName = xmlText(clean(name).isEmpty() ? code : name);
        const auto quality = [](int flag) {
            const QByteArray term = qualityOf(flag);
            return "<wml2:quality xlink:href=\"" + QByteArray(kQuality) + term + "\" xlink:title=\"" + term +
                   "\"/>";
        };
        size_t i = 0;
        for (auto it = channels.cbegin(); it != channels.cend(); ++it) {
            const size_t first = i;
            size_t end = i;
            while (end < values.size() && values[end].channel == it.key())
                ++end;
            i = end;
            // A series without a value has no time period, which every
            // observation needs: it is left out.
            if (end == first)
                continue;
            // The series' most common quality is its points' default; a
            // point names its own only where it differs.
            int common = 0;
            if (m_flags) {
                int counts[16] = {};
                for (size_t k = first; k < end; ++k)
                    ++counts[values[k].flag & 15];
                common = int(std::max_element(std::begin(counts), std::end(counts)) - std::begin(counts));
            }
            const QByteArray id = QByteArray::number(it.key());
            const QString unit = clean(it->unit);
            const QString ucum = ucumCode(unit);
            QByteArray uom;
            if (!ucum.isEmpty())
                uom = "<wml2:uom code=\"" + xmlText(ucum) + "\" xlink:title=\"" + xmlText(unit) + "\"/>";
            else if (!unit.isEmpty()) // no UCUM code: the text alone
                uom = "<wml2:uom xlink:title=\"" + xmlText(unit) + "\"/>";
            sink << "  <wml2:observationMember>\n"
                 << "    <om:OM_Observation gml:id=\"observation." << id << "\">\n"
                 << "      <om:phenomenonTime><gml:TimePeriod gml:id=\"period." << id << "\">"
                 << "<gml:beginPosition>" << clock.iso(values[first].minute) << "</gml:beginPosition>"
                 << "<gml:endPosition>" << clock.iso(values[end - 1].minute)
                 << "</gml:endPosition></gml:TimePeriod></om:phenomenonTime>\n"
                 << "      <om:resultTime><gml:TimeInstant gml:id=\"result." << id << "\">"
                 << "<gml:timePosition>" << clock.iso(values[end - 1].minute)
                 << "</gml:timePosition></gml:TimeInstant></om:resultTime>\n"
                 << "      <om:procedure xlink:href=\"urn:nexil:logger\" xlink:title=\"datalogger\"/>\n"
                 << "      <om:observedProperty xlink:href=\"urn:nexil:channel:" << id << "\" xlink:title=\""
                 << xmlText(it->name) << "\"/>\n"
                 << "      <om:featureOfInterest xlink:href=\"urn:nexil:station:"
                 << QUrl::toPercentEncoding(clean(code)) << "\" xlink:title=\"" << stationName << "\"/>\n"
                 << "      <om:result>\n"
                 << "        <wml2:MeasurementTimeseries gml:id=\"series." << id << "\">\n"
                 << "          <wml2:defaultPointMetadata><wml2:DefaultTVPMeasurementMetadata>"
                 << (m_flags ? quality(common) : QByteArray()) << uom
                 << "<wml2:interpolationType "
                    "xlink:href=\"http://www.opengis.net/def/waterml/2.0/interpolationType/Continuous\" "
                    "xlink:title=\"Instantaneous\"/>"
                 << "</wml2:DefaultTVPMeasurementMetadata></wml2:defaultPointMetadata>\n";
            for (size_t k = first; k < end; ++k) {
                sink << "          <wml2:point><wml2:MeasurementTVP><wml2:time>"
                     << clock.iso(values[k].minute) << "</wml2:time>";
                const bool own = m_flags && values[k].flag != common;
                if (values[k].error)
                    sink << "<wml2:value xsi:nil=\"true\"/>";
                else
                    sink << "<wml2:value>" << number(values[k].value, '.') << "</wml2:value>";
                // The quality comes before the nil reason.
                if (values[k].error || own) {
                    sink << "<wml2:metadata><wml2:TVPMeasurementMetadata>";
                    if (own)
                        sink << quality(values[k].flag);
                    if (values[k].error)
                        sink << "<wml2:nilReason xlink:href=\"http://www.opengis.net/def/nil/OGC/0/missing\" "
                                "xlink:title=\"sensor error\"/>";
                    sink << "</wml2:TVPMeasurementMetadata></wml2:metadata>";
                }
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
