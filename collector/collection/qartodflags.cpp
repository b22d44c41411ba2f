#include "collection/qartodflags.h"

#include "collection/settingtext.h"
#include "nexil/excel/reportrules.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

bool numbers(const SettingText::Item &item, int count, double *out)
{
    if (item.args.size() != count)
        return false;
    for (int i = 0; i < count; ++i)
        if (!SettingText::parseNumber(item.args.at(i), out + i))
            return false;
    return true;
}

bool isMissing(const QartodFlags::Point &p)
{
    return p.missing || !std::isfinite(p.value);
}

// Points in time order, and where each given one went.
QVector<int> timeOrder(const QVector<QartodFlags::Point> &points)
{
    QVector<int> order(points.size());
    std::iota(order.begin(), order.end(), 0);
    const auto earlier = [](const QartodFlags::Point &a, const QartodFlags::Point &b) {
        return a.minute < b.minute;
    };
    if (std::is_sorted(points.begin(), points.end(), earlier))
        return order;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return points.at(a).minute < points.at(b).minute; });
    return order;
}

} // namespace

bool QartodFlags::Settings::operator==(const Settings &o) const
{
    // Limits of a test that is off do not count.
    return gross == o.gross && (!gross || (sensorMin == o.sensorMin && sensorMax == o.sensorMax)) &&
           user == o.user && (!user || (userMin == o.userMin && userMax == o.userMax)) && spike == o.spike &&
           (!spike || (spikeSuspect == o.spikeSuspect && spikeFail == o.spikeFail)) && roc == o.roc &&
           (!roc || (rocDeviations == o.rocDeviations && rocWindow == o.rocWindow)) && flat == o.flat &&
           (!flat ||
            (flatTolerance == o.flatTolerance && flatSuspect == o.flatSuspect && flatFail == o.flatFail));
}

bool QartodFlags::Settings::parse(const QString &text, Settings *settings, QString *error)
{
    QList<SettingText::Item> items;
    if (!SettingText::splitItems(text, &items, error))
        return false;
    Settings s;
    for (const SettingText::Item &item : items) {
        double n[3] = {0, 0, 0};
        if (item.name == QLatin1String("gross") || item.name == QLatin1String("user")) {
            if (!numbers(item, 2, n) || !(n[0] < n[1])) {
                *error =
                    SettingText::badItem(item, item.name + QStringLiteral("=MIN,MAX with MIN below MAX"));
                return false;
            }
            if (item.name == QLatin1String("gross")) {
                s.gross = true;
                s.sensorMin = n[0];
                s.sensorMax = n[1];
            } else {
                s.user = true;
                s.userMin = n[0];
                s.userMax = n[1];
            }
        } else if (item.name == QLatin1String("spike")) {
            if (!numbers(item, 2, n) || n[0] < 0 || n[1] < n[0]) {
                *error = SettingText::badItem(item,
                                              QStringLiteral("spike=SUSPECT,FAIL with 0 <= SUSPECT <= FAIL"));
                return false;
            }
            s.spike = true;
            s.spikeSuspect = n[0];
            s.spikeFail = n[1];
        } else if (item.name == QLatin1String("roc")) {
            qint64 window = 0;
            if (item.args.size() != 2 || !SettingText::parseNumber(item.args.at(0), n) || !(n[0] > 0) ||
                !SettingText::parseDuration(item.args.at(1), &window)) {
                *error = SettingText::badItem(
                    item, QStringLiteral("roc=N,WINDOW with N above 0 and WINDOW as 30m, 2h or 1d"));
                return false;
            }
            s.roc = true;
            s.rocDeviations = n[0];
            s.rocWindow = window;
        } else if (item.name == QLatin1String("flat")) {
            qint64 suspect = 0, fail = 0;
            if (item.args.size() != 3 || !SettingText::parseNumber(item.args.at(0), n) || n[0] < 0 ||
                !SettingText::parseDuration(item.args.at(1), &suspect) ||
                !SettingText::parseDuration(item.args.at(2), &fail) || fail < suspect) {
                *error =
                    SettingText::badItem(item, QStringLiteral("flat=TOLERANCE,SUSPECT_TIME,FAIL_TIME with "
                                                              "TOLERANCE >= 0 and times as 30m, 2h or "
                                                              "1d, the fail time not shorter"));
                return false;
            }
            s.flat = true;
            s.flatTolerance = n[0];
            s.flatSuspect = suspect;
            s.flatFail = fail;
        } else {
            *error = QStringLiteral("%1: unknown test (known: gross, user, spike, roc, flat)")
                         .arg(SettingText::quoted(item.name));
            return false;
        }
    }
    *settings = s;
    return true;
}

QString QartodFlags::Settings::toText() const
{
    using SettingText::duration;
    using SettingText::number;
    QStringList items;
    if (gross)
        items << QStringLiteral("gross=%1,%2").arg(number(sensorMin), number(sensorMax));
    if (user)
        items << QStringLiteral("user=%1,%2").arg(number(userMin), number(userMax));
    if (spike)
        items << QStringLiteral("spike=%1,%2").arg(number(spikeSuspect), number(spikeFail));
    if (roc)
        items << QStringLiteral("roc=%1,%2").arg(number(rocDeviations), duration(rocWindow));
    if (flat)
        items << QStringLiteral("flat=%1,%2,%3")
                     .arg(number(flatTolerance), duration(flatSuspect), duration(flatFail));
    return items.join(QLatin1Char(';'));
}

qint64 QartodFlags::minuteOf(const QDateTime &at)
{
    // The device's wall clock read as UTC: no zone moves a value.
    const QDateTime wall(at.date(), at.time(), Qt::UTC);
    return wall.toSecsSinceEpoch() / 60 - (wall.toSecsSinceEpoch() % 60 < 0 ? 1 : 0);
}

QartodFlags::Point QartodFlags::point(const QDateTime &at, double value, bool sensorError)
{
    Point p;
    p.minute = minuteOf(at);
    p.value = value;
    p.missing = sensorError || !at.isValid() || !std::isfinite(value) || report::isSensorError(value);
    return p;
}

QartodFlags::Point QartodFlags::point(qint64 minute, const QString &value)
{
    Point p;
    p.minute = minute;
    bool ok = false;
    p.value = value.trimmed().toDouble(&ok);
    p.missing = !ok || !std::isfinite(p.value) || report::isSensorError(p.value);
    if (p.missing)
        p.value = 0;
    return p;
}

bool QartodFlags::parseMinute(const QString &at, qint64 *minute)
{
    static const qint64 epochDay = QDate(1970, 1, 1).toJulianDay();
    if (at.size() != 16 || at.at(10) != QLatin1Char(' '))
        return false;
    const QDate date = report::parseDate(at.left(10));
    const int ofDay = report::parseMinuteOfDay(at.mid(11));
    if (!date.isValid() || ofDay < 0)
        return false;
    *minute = (date.toJulianDay() - epochDay) * 24 * 60 + ofDay;
    return true;
}

QDateTime QartodFlags::dateTimeOf(qint64 minute)
{
    return QDateTime::fromSecsSinceEpoch(minute * 60, Qt::UTC);
}

QString QartodFlags::flagName(quint8 flag)
{
    switch (flag) {
    case Pass:
        return QStringLiteral("pass");
    case NotEvaluated:
        return QStringLiteral("not evaluated");
    case Suspect:
        return QStringLiteral("suspect");
    case Fail:
        return QStringLiteral("fail");
    case Missing:
        return QStringLiteral("missing");
    }
    return QString();
}

quint8 QartodFlags::aggregate(const Result &r)
{
    quint8 worst = NotEvaluated;
    for (const quint8 test : {r.gross, r.spike, r.roc, r.flat}) {
        if (test == Missing)
            return Missing;
        if (test != NotEvaluated && (worst == NotEvaluated || test > worst))
            worst = test;
    }
    return worst;
}

qint64 QartodFlags::historyMinutes() const
{
    qint64 h = 0;
    if (m_settings.roc)
        h = std::max(h, m_settings.rocWindow);
    if (m_settings.flat)
        h = std::max(h, m_settings.flatFail);
    return h;
}

QartodFlags::Result QartodFlags::evaluateAt(const QVector<Point> &s, int i) const
{
    Result r;
    const Point &p = s.at(i);
    if (isMissing(p)) {
        r.gross = r.spike = r.roc = r.flat = r.flag = Missing;
        return r;
    }
    const Settings &c = m_settings;
    const double x = p.value;
    const bool hasPrev = i > 0 && !isMissing(s.at(i - 1));

    if (c.gross && (x < c.sensorMin || x > c.sensorMax))
        r.gross = Fail;
    else if (c.user && (x < c.userMin || x > c.userMax))
        r.gross = Suspect;
    else if (c.gross || c.user)
        r.gross = Pass;

    r.waits = c.spike && hasPrev && i + 1 == s.size();
    if (c.spike && hasPrev && i + 1 < s.size() && !isMissing(s.at(i + 1))) {
        const double d = std::fabs(x - (s.at(i - 1).value + s.at(i + 1).value) / 2);
        r.spike = d > c.spikeFail ? Fail : d > c.spikeSuspect ? Suspect : Pass;
    }

    if (c.roc && hasPrev) {
        // One pass over the window, each value taken less the previous one
        // so the sums stay small; computed afresh for every value, so the
        // result does not depend on where the series was cut.
        const double shift = s.at(i - 1).value;
        const qint64 from = p.minute - c.rocWindow;
        double sum = 0, squares = 0;
        int count = 0;
        for (int k = i - 1; k >= 0 && s.at(k).minute >= from; --k) {
            const Point &q = s.at(k);
            if (!isMissing(q) && q.minute < p.minute) {
                const double d = q.value - shift;
                sum += d;
                squares += d * d;
                ++count;
            }
        }
        if (count >= 2) {
            const double variance = std::max(0.0, (squares - sum * sum / count) / (count - 1));
            r.roc = std::fabs(x - shift) > c.rocDeviations * std::sqrt(variance) ? Suspect : Pass;
        }
    }

    if (c.flat) {
        qint64 start = p.minute;
        for (int k = i - 1; k >= 0 && p.minute - start < c.flatFail; --k) {
            const Point &q = s.at(k);
            if (isMissing(q) || std::fabs(q.value - x) > c.flatTolerance)
                break;
            start = q.minute;
        }
        const qint64 run = p.minute - start;
        r.flat = run >= c.flatFail ? Fail : run >= c.flatSuspect ? Suspect : Pass;
    }

    r.flag = aggregate(r);
    return r;
}

QVector<QartodFlags::Result> QartodFlags::evaluate(const QVector<Point> &series) const
{
    QVector<Result> results(series.size());
    const bool sorted = std::is_sorted(series.begin(), series.end(),
                                       [](const Point &a, const Point &b) { return a.minute < b.minute; });
    if (sorted) {
        for (int i = 0; i < series.size(); ++i)
            results[i] = evaluateAt(series, i);
        return results;
    }
    const QVector<int> order = timeOrder(series);
    QVector<Point> s;
    s.reserve(series.size());
    for (const int i : order)
        s.append(series.at(i));
    for (int i = 0; i < s.size(); ++i)
        results[order.at(i)] = evaluateAt(s, i);
    return results;
}

QartodFlags::Update QartodFlags::update(const QVector<Point> &stored, const QVector<Point> &added) const
{
    // The merged series; origin >= 0 is a stored index, < 0 an added one (-1 - index).
    QVector<Point> s;
    QVector<int> origin;
    s.reserve(stored.size() + added.size());
    origin.reserve(stored.size() + added.size());
    const QVector<int> storedOrder = timeOrder(stored);
    const QVector<int> addedOrder = timeOrder(added);
    QVector<int> placeOfAdded(added.size(), -1);
    int a = 0;
    for (int si = 0; si <= storedOrder.size(); ++si) {
        const bool more = si < storedOrder.size();
        const qint64 t = more ? stored.at(storedOrder.at(si)).minute : 0;
        for (; a < addedOrder.size() && (!more || added.at(addedOrder.at(a)).minute <= t); ++a) {
            const int ai = addedOrder.at(a);
            const Point &p = added.at(ai);
            if ((more && p.minute == t) || (!s.isEmpty() && s.last().minute == p.minute)) {
                // Already there: the stored (or first added) one stands. A
                // stored one at t is appended just below, after this loop.
                placeOfAdded[ai] = more && p.minute == t ? s.size() : s.size() - 1;
                continue;
            }
            placeOfAdded[ai] = s.size();
            s.append(p);
            origin.append(-1 - ai);
        }
        if (more) {
            s.append(stored.at(storedOrder.at(si)));
            origin.append(storedOrder.at(si));
        }
    }

    // Which points to evaluate: the added ones, the one before each (its
    // spike), and the following ones whose history reaches back to it.
    const qint64 history = historyMinutes();
    QVector<bool> affected(s.size(), false);
    int markedUntil = -1;
    for (int k = 0; k < s.size(); ++k) {
        if (origin.at(k) >= 0)
            continue;
        affected[k] = true;
        if (k > 0)
            affected[k - 1] = true;
        if (k + 1 >= s.size())
            continue;
        const qint64 until = s.at(k + 1).minute + history;
        for (int j = std::max(k + 1, markedUntil + 1); j < s.size() && s.at(j).minute <= until; ++j) {
            affected[j] = true;
            markedUntil = j;
        }
    }

    Update out;
    out.added.resize(added.size());
    QVector<Result> merged(s.size());
    for (int k = 0; k < s.size(); ++k) {
        if (!affected.at(k))
            continue;
        merged[k] = evaluateAt(s, k);
        const int o = origin.at(k);
        if (o >= 0 && stored.at(o).flag != merged.at(k).flag)
            out.changed.append({o, merged.at(k)});
        // The newest stored point waited when the spike test could have run
        // on it but for its successor.
        if (o >= 0 && o == storedOrder.last() && k + 1 < s.size() && m_settings.spike &&
            !isMissing(s.at(k)) && storedOrder.size() > 1 &&
            !isMissing(stored.at(storedOrder.at(storedOrder.size() - 2))))
            out.settled.append({o, merged.at(k)});
    }
    for (int ai = 0; ai < added.size(); ++ai) {
        const int k = placeOfAdded.at(ai);
        out.added[ai] = affected.at(k) ? merged.at(k) : evaluateAt(s, k);
    }
    return out;
}
