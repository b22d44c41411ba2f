#include "nexil/excel/reportrules.h"

#include <cmath>

namespace report {

LineType lineType(const QString &name)
{
    if (name == QLatin1String("INS"))
        return LineType::Ins;
    if (name == QLatin1String("MAX"))
        return LineType::Max;
    if (name == QLatin1String("MIN"))
        return LineType::Min;
    if (name == QLatin1String("AVG"))
        return LineType::Avg;
    if (name == QLatin1String("TOT"))
        return LineType::Tot;
    return LineType::Other;
}

bool isSensorError(double value)
{
    const double whole = std::trunc(value);
    return whole == -9999.0 || whole == -8888.0;
}

bool isSensorError(const Value &value)
{
    return value.isNumber() && isSensorError(value.number);
}

namespace {
// Parsed by hand: Qt's parser with a format looks up the time zone on every
// call.
bool digits(const QString &s, int from, int count, int *out)
{
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const ushort c = s.at(i).unicode();
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
}

struct SortKey
{
    int kind;
    qint64 value;
    bool operator<(const SortKey &o) const { return kind != o.kind ? kind < o.kind : value < o.value; }
};

SortKey sortKey(const QString &s)
{
    const QDate date = parseDate(s);
    if (date.isValid())
        return {0, date.toJulianDay()};
    const int minute = parseMinuteOfDay(s);
    if (minute >= 0)
        return {1, minute};
    return {2, 0};
}

// Adds up one channel's values, leaving out sensor errors and texts.
struct Sum
{
    double sum = 0;
    int count = 0;
    void add(const Value &v)
    {
        if (!v.isNumber() || isSensorError(v.number))
            return;
        sum += v.number;
        ++count;
    }
};

void extreme(Summary &s, double value, const QString &label)
{
    if (s.count == 0 || value > s.max) {
        s.max = value;
        s.maxLabel = label;
    }
    if (s.count == 0 || value < s.min) {
        s.min = value;
        s.minLabel = label;
    }
    ++s.count;
}

// Per channel: the sum of the device's totals where there are any, else the
// sum of the averages.
QMap<int, double> totals(const QVector<const DailySummaries::Month *> &months)
{
    QMap<int, Sum> averages, deviceTotals;
    for (const DailySummaries::Month *month : months)
        for (const DailySummaries::Day &day : *month) {
            for (auto it = day.averages.cbegin(); it != day.averages.cend(); ++it)
                averages[it.key()].add(*it);
            for (auto it = day.totals.cbegin(); it != day.totals.cend(); ++it)
                deviceTotals[it.key()].add(*it);
        }
    QMap<int, double> out;
    for (auto it = averages.cbegin(); it != averages.cend(); ++it)
        out.insert(it.key(), it->sum);
    for (auto it = deviceTotals.cbegin(); it != deviceTotals.cend(); ++it)
        if (it->count > 0)
            out.insert(it.key(), it->sum);
    return out;
}
} // namespace

QDate parseDate(const QString &s)
{
    int y, m, d;
    if (s.size() == 10 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-') && digits(s, 0, 4, &y) &&
        digits(s, 5, 2, &m) && digits(s, 8, 2, &d))
        return QDate(y, m, d);
    return QDate();
}

int parseMinuteOfDay(const QString &text)
{
    int h, min;
    if (text.size() == 5 && text.at(2) == QLatin1Char(':') && digits(text, 0, 2, &h) &&
        digits(text, 3, 2, &min) && h < 24 && min < 60)
        return h * 60 + min;
    return -1;
}

bool lessThan(const QString &a, const QString &b)
{
    const SortKey ka = sortKey(a), kb = sortKey(b);
    if (ka.kind == 2 && kb.kind == 2)
        return a < b;
    return ka < kb;
}

DailyRows::Place DailyRows::place(const QString &date, const QString &time)
{
    Place p;
    if (m_row >= 0 && date == m_date && time == m_time) {
        p.row = m_row;
        return p;
    }
    p.newRow = true;
    if (m_row < 0) {
        m_row = 0;
    } else if (date != m_date || m_row + 1 >= m_rowsPerBlock) {
        m_row = 0;
        p.newBlock = true;
    } else {
        ++m_row;
    }
    m_date = date;
    m_time = time;
    p.row = m_row;
    return p;
}

void DailySummaries::add(const Line &line)
{
    if (line.type != LineType::Avg && line.type != LineType::Tot)
        return;
    const QDate date = parseDate(line.date);
    if (!date.isValid())
        return;
    Day &day = m_months[QDate(date.year(), date.month(), 1)][date];
    day.date = date;
    (line.type == LineType::Avg ? day.averages : day.totals).insert(line.channel, line.value);
}

QMap<int, Summary> DailySummaries::monthSummary(const Month &month)
{
    QMap<int, Summary> out;
    for (const Day &day : month) {
        const QString label = day.date.toString(Qt::ISODate);
        for (auto it = day.averages.cbegin(); it != day.averages.cend(); ++it)
            if (it->isNumber() && !isSensorError(it->number))
                extreme(out[it.key()], it->number, label);
    }
    const QMap<int, double> total = totals({&month});
    for (auto it = out.begin(); it != out.end(); ++it)
        it->total = total.value(it.key());
    return out;
}

QMap<int, double> DailySummaries::monthMeans(const Month &month)
{
    QMap<int, Sum> sums;
    for (const Day &day : month)
        for (auto it = day.averages.cbegin(); it != day.averages.cend(); ++it)
            sums[it.key()].add(*it);
    QMap<int, double> out;
    for (auto it = sums.cbegin(); it != sums.cend(); ++it)
        if (it->count > 0)
            out.insert(it.key(), it->sum / it->count);
    return out;
}

QMap<int, Summary> DailySummaries::yearSummary(const QVector<const Month *> &months)
{
    QMap<int, Summary> out;
    for (const Month *month : months) {
        if (month->isEmpty())
            continue;
        const QString label = month->firstKey().toString(QStringLiteral("yyyy-MM"));
        const QMap<int, double> means = monthMeans(*month);
        for (auto it = means.cbegin(); it != means.cend(); ++it)
            extreme(out[it.key()], *it, label);
    }
    const QMap<int, double> total = totals(months);
    for (auto it = out.begin(); it != out.end(); ++it)
        it->total = total.value(it.key());
    return out;
}

int shownWidth(double value)
{
    return QString::number(value, 'f', 4).size();
}

} // namespace report
