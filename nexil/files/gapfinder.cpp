#include "nexil/files/gapfinder.h"

#include "nexil/excel/datalinereader.h"
#include "nexil/excel/reportrules.h"
#include "nexil/files/channelmap.h"
#include "nexil/logging.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <bitset>
#include <limits>
#include <map>
#include <vector>

namespace {

// Times are counted in minutes of the calendar (Julian day × 1440 + minute of
// the day): the files hold local wall-clock times without a zone, and a
// daylight-saving change must not open or close a hole.
using Minute = qint64;
constexpr Minute kNone = std::numeric_limits<Minute>::min();
constexpr Minute kDay = 1440;

int digits(const QChar *p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const int d = p[i].unicode() - '0';
        if (d < 0 || d > 9)
            return -1;
        v = v * 10 + d;
    }
    return v;
}

// "yyyy-MM-dd" and "hh:mm", parsed by hand: this runs once per line.
Minute minuteOf(const QString &date, const QString &time)
{
    if (date.size() != 10 || time.size() != 5 || date.at(4) != '-' || date.at(7) != '-' || time.at(2) != ':')
        return kNone;
    const QChar *d = date.constData();
    const QChar *t = time.constData();
    const int year = digits(d, 4), month = digits(d + 5, 2), day = digits(d + 8, 2);
    const int hour = digits(t, 2), minute = digits(t + 3, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return kNone;
    const QDate q(year, month, day);
    if (!q.isValid())
        return kNone;
    return q.toJulianDay() * kDay + hour * 60 + minute;
}

Minute minuteOf(const QDateTime &t)
{
    if (!t.isValid())
        return kNone;
    return t.date().toJulianDay() * kDay + t.time().hour() * 60 + t.time().minute();
}

QDateTime dateTimeOf(Minute m)
{
    const qint64 day = m >= 0 ? m / kDay : (m - kDay + 1) / kDay;
    const int rest = int(m - day * kDay);
    // Without a zone: the host's daylight saving must not make a device's
    // wall-clock time invalid (02:30 on the spring change).
    return QDateTime(QDate::fromJulianDay(day), QTime(rest / 60, rest % 60), Qt::UTC);
}

Minute floorDiv(Minute a, Minute b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

struct FilePlan
{
    QString path;
    int file = 0; // in the files' name-date order
    report::Header header;
    Minute start = kNone; // setup time, else the first value's time
};

struct ChannelState
{
    Minute first = kNone, last = kNone;
    int firstSegment = 0, lastSegment = 0;
};

class Tally
{
public:
    explicit Tally(int channels) : m_channels(channels) {}

    // False when the channel already has a value at that minute (the same
    // download saved twice): a repeat is not a second value.
    bool isPresent(int index, Minute m) const
    {
        const auto it = m_days.find(m / kDay);
        return it != m_days.end() && it->second.seen[size_t(index)].test(size_t(m % kDay));
    }

    bool present(int index, Minute m)
    {
        Day &d = day(m / kDay);
        std::bitset<kDay> &seen = d.seen[index];
        const size_t minute = size_t(m % kDay);
        if (seen.test(minute))
            return false;
        seen.set(minute);
        d.present[index] += 1;
        return true;
    }

    // The missing times a, a + step, ... (n of them), spread over their days.
    void missing(int index, Minute a, Minute step, qint64 n)
    {
        if (n <= 0)
            return;
        const Minute lastTime = a + (n - 1) * step;
        for (Minute d = a / kDay; d <= lastTime / kDay; ++d) {
            const Minute begin = d * kDay, end = begin + kDay;
            const qint64 lo = std::max<qint64>(0, floorDiv(begin - a + step - 1, step));
            const qint64 hi = std::min<qint64>(n - 1, floorDiv(end - 1 - a, step));
            if (hi >= lo)
                day(d).missing[index] += hi - lo + 1;
        }
    }

    // Calls f(minute) for each minute with a value of the channel, in time order.
    template<typename F> void forEachPresent(int index, F f) const
    {
        for (const auto &entry : m_days) {
            const std::bitset<kDay> &seen = entry.second.seen[size_t(index)];
            if (seen.none())
                continue;
            for (size_t m = 0; m < size_t(kDay); ++m)
                if (seen.test(m))
                    f(entry.first * kDay + Minute(m));
        }
    }

    // A time whose value was a sensor error: expected, not present.
    void sensorError(int index, Minute m) { day(m / kDay).sensorErrors[index] += 1; }

    QVector<GapFinder::DayFigures> days() const
    {
        QVector<GapFinder::DayFigures> out;
        for (const auto &entry : m_days) {
            GapFinder::DayFigures f;
            f.date = QDate::fromJulianDay(entry.first);
            f.present = entry.second.present;
            f.missing = entry.second.missing;
            f.sensorErrors = entry.second.sensorErrors;
            out.append(f);
        }
        return out;
    }

private:
    struct Day
    {
        QVector<qint64> present, missing, sensorErrors;
        std::vector<std::bitset<kDay>> seen; // 180 bytes per channel and day
    };

    Day &day(Minute d)
    {
        auto it = m_days.find(d);
        if (it == m_days.end()) {
            Day fresh;
            fresh.present.fill(0, m_channels);
            fresh.missing.fill(0, m_channels);
            fresh.sensorErrors.fill(0, m_channels);
            fresh.seen.resize(size_t(m_channels));
            it = m_days.emplace(d, std::move(fresh)).first;
        }
        return it->second;
    }

    int m_channels;
    std::map<Minute, Day> m_days;
};

bool openReader(const QString &path, QFile *file, QString *error)
{
    file->setFileName(path);
    if (!file->open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file->errorString());
        return false;
    }
    return true;
}

QString readError(const QString &path, const report::DataLineReader &reader)
{
    return QStringLiteral("%1 is not a well-formed data file: %2").arg(path, reader.errorText().simplified());
}

} // namespace

double GapFinder::percent(qint64 present, qint64 missing)
{
    if (present + missing <= 0)
        return -1;
    return std::min(100.0, 100.0 * double(present) / double(present + missing));
}

void GapFinder::setRange(const QDateTime &from, const QDateTime &to)
{
    m_rangeFrom = from;
    m_rangeTo = to;
}

bool GapFinder::run(const QStringList &paths)
{
    m_error.clear();
    m_channels.clear();
    m_gaps.clear();
    m_days.clear();
    m_from = m_to = QDateTime();

    // First pass: the headers, to order the files and know every channel.
    QVector<FilePlan> plans;
    const QStringList ordered = ChannelMap::byNameDate(paths);
    for (const QString &path : ordered) {
        QFile file;
        if (!openReader(path, &file, &m_error))
            return false;
        report::DataLineReader reader(&file);
        FilePlan plan;
        plan.path = path;
        plan.file = plans.size();
        if (!reader.readHeader(&plan.header)) {
            m_error = readError(path, reader);
            return false;
        }
        const QString stamp = plan.header.setupTimestamp.trimmed();
        plan.start = minuteOf(stamp.left(10), stamp.mid(11));
        report::Line line;
        while (plan.start == kNone && reader.readLine(&line))
            if (line.type == report::LineType::Ins)
                plan.start = minuteOf(line.date, line.time);
        plans.append(plan);
    }
    // Channels are followed across the files by their identity, not by
    // their position, which a change of setup shifts.
    ChannelMap map;
    {
        QVector<report::Header> headers;
        for (const FilePlan &plan : qAsConst(plans))
            headers.append(plan.header);
        map.build(headers);
    }
    // A file with neither a setup time nor a value sorts first and adds nothing.
    std::stable_sort(plans.begin(), plans.end(),
                     [](const FilePlan &a, const FilePlan &b) { return a.start < b.start; });

    QHash<int, int> indexOf; // channel number → index in m_channels
    for (const FilePlan &plan : plans) {
        if (!plan.header.stationCode.isEmpty())
            m_stationCode = plan.header.stationCode;
        if (!plan.header.stationName.isEmpty())
            m_stationName = plan.header.stationName;
        for (const report::Channel &c : plan.header.channels) {
            const int number = map.numberOf(plan.file, c.id);
            if (c.interval <= 0 || number < 0)
                continue;
            if (!indexOf.contains(number)) {
                indexOf.insert(number, m_channels.size());
                m_channels.append(ChannelFigures());
                m_channels.last().channel = number;
            }
            ChannelFigures &f = m_channels[indexOf.value(number)];
            f.name = c.name;
            f.unit = c.unit;
            f.interval = c.interval;
        }
    }
    std::sort(m_channels.begin(), m_channels.end(),
              [](const ChannelFigures &a, const ChannelFigures &b) { return a.channel < b.channel; });
    for (int i = 0; i < m_channels.size(); ++i)
        indexOf.insert(m_channels.at(i).channel, i);

    // interval[segment][index]: 0 where that file's setup does not record the channel.
    QVector<QVector<int>> interval(plans.size(), QVector<int>(m_channels.size(), 0));
    for (int s = 0; s < plans.size(); ++s)
        for (const report::Channel &c : plans.at(s).header.channels) {
            const int number = map.numberOf(plans.at(s).file, c.id);
            if (c.interval > 0 && indexOf.contains(number))
                interval[s][indexOf.value(number)] = c.interval;
        }

    const Minute rangeFrom = minuteOf(m_rangeFrom);
    const Minute rangeTo = minuteOf(m_rangeTo);
    Minute seenFirst = kNone, seenLast = kNone;
    QVector<ChannelState> state(m_channels.size());
    Tally tally(m_channels.size());
    QVector<Gap> gaps;

    auto addGap = [&](int index, Minute a, Minute step, qint64 n, Minute b = 0, Minute stepB = 1,
                      qint64 nB = 0) {
        // a + k·step (n of them), then b − k·stepB counted down (nB of them).
        if (n + nB <= 0)
            return;
        tally.missing(index, a, step, n);
        tally.missing(index, b - nB * stepB, stepB, nB);
        Gap g;
        g.channel = m_channels.at(index).channel;
        g.from = dateTimeOf(n > 0 ? a : b - nB * stepB);
        g.to = dateTimeOf(nB > 0 ? b - stepB : a + (n - 1) * step);
        g.missing = n + nB;
        m_channels[index].missing += g.missing;
        gaps.append(g);
    };

    // Second pass: the values, file after file, into the tally. The holes
    // are worked out afterwards from the times in order, so that neither
    // the order of the lines nor that of the files changes them.
    QHash<int, std::vector<Minute>> errorsOf; // channel index → sensor-error times
    for (int s = 0; s < plans.size(); ++s) {
        QFile file;
        if (!openReader(plans.at(s).path, &file, &m_error))
            return false;
        report::DataLineReader reader(&file);
        report::Header header;
        reader.readHeader(&header);
        report::Line line;
        while (reader.readLine(&line)) {
            if (line.type != report::LineType::Ins)
                continue;
            const Minute t = minuteOf(line.date, line.time);
            if (t == kNone) {
                qCDebug(lcFiles, "gaps: line with date \"%s\" time \"%s\" skipped", qPrintable(line.date),
                        qPrintable(line.time));
                continue;
            }
            if ((rangeFrom != kNone && t < rangeFrom) || (rangeTo != kNone && t > rangeTo))
                continue;
            const int index = indexOf.value(map.numberOf(plans.at(s).file, line.channel), -1);
            if (index < 0)
                continue;
            seenFirst = seenFirst == kNone ? t : std::min(seenFirst, t);
            seenLast = seenLast == kNone ? t : std::max(seenLast, t);
            // A reading the sensor could not take: the slot is expected and
            // stays empty; counted on its own.
            if (report::isSensorError(line.value)) {
                errorsOf[index].push_back(t);
                continue;
            }
            if (tally.present(index, t))
                m_channels[index].present += 1;
        }
        if (reader.hasError()) {
            m_error = readError(plans.at(s).path, reader);
            return false;
        }
    }
    for (auto it = errorsOf.begin(); it != errorsOf.end(); ++it) {
        std::sort(it->begin(), it->end());
        it->erase(std::unique(it->begin(), it->end()), it->end());
        for (const Minute t : *it) {
            if (tally.isPresent(it.key(), t))
                continue; // a good value at the same time (saved twice)
            tally.sensorError(it.key(), t);
            m_channels[it.key()].sensorErrors += 1;
        }
    }

    // Each file's setup holds from its setup time to the next file's.
    const auto segmentOf = [&](Minute t) {
        int segment = 0;
        for (int s = 0; s < plans.size(); ++s)
            if (plans.at(s).start == kNone || plans.at(s).start <= t)
                segment = s;
        return segment;
    };
    for (int index = 0; index < m_channels.size(); ++index) {
        ChannelState &c = state[index];
        tally.forEachPresent(index, [&](Minute t) {
            const int s = segmentOf(t);
            if (c.last == kNone) {
                c.first = t;
                c.firstSegment = s;
            } else {
                const Minute boundary = plans.at(s).start;
                const int stepBefore = interval.at(c.lastSegment).at(index);
                const int stepAfter = interval.at(s).at(index);
                if (c.lastSegment != s && boundary != kNone && c.last < boundary && boundary < t) {
                    // The hole spans a setup change: each side by its own interval.
                    const qint64 n = stepBefore > 0 ? (boundary - c.last - 1) / stepBefore : 0;
                    const qint64 nB = stepAfter > 0 ? (t - boundary) / stepAfter : 0;
                    addGap(index, c.last + stepBefore, stepBefore, n, t, std::max(1, stepAfter), nB);
                } else {
                    const int step = c.lastSegment == s || boundary == kNone || boundary <= c.last
                                         ? (stepAfter > 0 ? stepAfter : stepBefore)
                                         : stepBefore;
                    // Rounded, so a value a little off the grid fills its slot.
                    const qint64 n = step > 0 ? (t - c.last + step / 2) / step - 1 : 0;
                    addGap(index, c.last + step, step, n);
                }
            }
            c.last = t;
            c.lastSegment = s;
        });
    }

    // The edges of the range: before each channel's first value and after its last.
    const Minute begin = rangeFrom != kNone && m_edgesCount ? rangeFrom : seenFirst;
    const Minute end = rangeTo != kNone && m_edgesCount ? rangeTo : seenLast;
    if (begin != kNone && end != kNone && begin <= end) {
        for (int index = 0; index < m_channels.size(); ++index) {
            const ChannelState &c = state.at(index);
            if (c.first == kNone) {
                // No value at all: missing wherever a setup records it.
                for (int s = 0; s < plans.size(); ++s) {
                    const int step = interval.at(s).at(index);
                    Minute from = begin, to = end;
                    if (s > 0 && plans.at(s).start != kNone)
                        from = std::max(from, plans.at(s).start);
                    if (s + 1 < plans.size() && plans.at(s + 1).start != kNone)
                        to = std::min(to, plans.at(s + 1).start - 1);
                    if (step > 0 && from <= to)
                        addGap(index, from, step, (to - from) / step + 1);
                }
                continue;
            }
            // Only while a setup records the channel: one added by a later
            // setup, or removed by one, expects nothing outside them.
            int firstRecorded = c.firstSegment, lastRecorded = c.lastSegment;
            while (firstRecorded > 0 && interval.at(firstRecorded - 1).at(index) > 0)
                --firstRecorded;
            while (lastRecorded + 1 < plans.size() && interval.at(lastRecorded + 1).at(index) > 0)
                ++lastRecorded;
            Minute from = begin, to = end;
            if (firstRecorded > 0 && plans.at(firstRecorded).start != kNone)
                from = std::max(from, plans.at(firstRecorded).start);
            if (lastRecorded + 1 < plans.size() && plans.at(lastRecorded + 1).start != kNone)
                to = std::min(to, plans.at(lastRecorded + 1).start - 1);
            const int stepFirst = interval.at(c.firstSegment).at(index);
            if (stepFirst > 0 && c.first > from) {
                const qint64 n = (c.first - from) / stepFirst;
                addGap(index, c.first - n * stepFirst, stepFirst, n);
            }
            const int stepLast = interval.at(c.lastSegment).at(index);
            if (stepLast > 0 && c.last < to)
                addGap(index, c.last + stepLast, stepLast, (to - c.last) / stepLast);
        }
        m_from = dateTimeOf(begin);
        m_to = dateTimeOf(end);
    }

    std::stable_sort(gaps.begin(), gaps.end(), [](const Gap &a, const Gap &b) {
        return a.channel != b.channel ? a.channel < b.channel : a.from < b.from;
    });
    m_gaps = gaps;
    m_days = tally.days();
    return true;
}
