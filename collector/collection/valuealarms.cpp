#include "collection/valuealarms.h"

#include "collection/settingtext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const ValueAlarms::Kind kinds[] = {ValueAlarms::Kind::High, ValueAlarms::Kind::Low, ValueAlarms::Kind::Rise};

// Minutes as JSON numbers stay exact far beyond any device's clock.
constexpr double maxJsonMinute = 9007199254740992.0; // 2^53

bool readMinute(const QJsonValue &v, qint64 *minute)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!(std::fabs(d) < maxJsonMinute) || d != std::floor(d))
        return false;
    *minute = qint64(d);
    return true;
}

bool readNumber(const QJsonValue &v, double *value)
{
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        return false;
    *value = v.toDouble();
    return true;
}

} // namespace

QString ValueAlarms::kindName(Kind kind)
{
    switch (kind) {
    case Kind::High:
        return QStringLiteral("high");
    case Kind::Low:
        return QStringLiteral("low");
    case Kind::Rise:
        return QStringLiteral("rise");
    }
    return QString();
}

bool ValueAlarms::Settings::operator==(const Settings &o) const
{
    return high == o.high && (!high || (highLimit == o.highLimit && highClear == o.highClear)) &&
           low == o.low && (!low || (lowLimit == o.lowLimit && lowClear == o.lowClear)) && rise == o.rise &&
           (!rise || (riseLimit == o.riseLimit && riseClear == o.riseClear && risePeriod == o.risePeriod));
}

bool ValueAlarms::Settings::parse(const QString &text, Settings *settings, QString *error)
{
    QList<SettingText::Item> items;
    if (!SettingText::splitItems(text, &items, error))
        return false;
    Settings s;
    for (const SettingText::Item &item : items) {
        const int n = item.args.size();
        double limit = 0, clear = 0;
        if (item.name == QLatin1String("high") || item.name == QLatin1String("low")) {
            const bool high = item.name == QLatin1String("high");
            bool ok = (n == 1 || n == 2) && SettingText::parseNumber(item.args.at(0), &limit);
            clear = limit;
            if (ok && n == 2)
                ok = SettingText::parseNumber(item.args.at(1), &clear) &&
                     (high ? clear <= limit : clear >= limit);
            if (!ok) {
                *error = SettingText::badItem(
                    item, high ? QStringLiteral("high=LIMIT[,CLEAR] with CLEAR not above LIMIT")
                               : QStringLiteral("low=LIMIT[,CLEAR] with CLEAR not below LIMIT"));
                return false;
            }
            if (high) {
                s.high = true;
                s.highLimit = limit;
                s.highClear = clear;
            } else {
                s.low = true;
                s.lowLimit = limit;
                s.lowClear = clear;
            }
        } else if (item.name == QLatin1String("rise")) {
            qint64 period = 0;
            bool ok = (n == 2 || n == 3) && SettingText::parseNumber(item.args.at(0), &limit) && limit > 0 &&
                      SettingText::parseDuration(item.args.at(1), &period);
            clear = limit / 2;
            if (ok && n == 3)
                ok = SettingText::parseNumber(item.args.at(2), &clear) && clear <= limit;
            if (!ok) {
                *error = SettingText::badItem(
                    item, QStringLiteral("rise=AMOUNT,PERIOD[,CLEAR] with AMOUNT above 0, "
                                         "PERIOD as 30m, 1h or 1d and CLEAR not above "
                                         "AMOUNT"));
                return false;
            }
            s.rise = true;
            s.riseLimit = limit;
            s.risePeriod = period;
            s.riseClear = clear;
        } else {
            *error = QStringLiteral("%1: unknown alarm (known: high, low, rise)")
                         .arg(SettingText::quoted(item.name));
            return false;
        }
    }
    if (s.high && s.low && !(s.lowClear < s.highClear)) {
        *error = QStringLiteral("the low alarm's limits must lie below the high alarm's");
        return false;
    }
    *settings = s;
    return true;
}

QString ValueAlarms::Settings::toText() const
{
    using SettingText::number;
    QStringList items;
    if (high)
        items << QStringLiteral("high=%1,%2").arg(number(highLimit), number(highClear));
    if (low)
        items << QStringLiteral("low=%1,%2").arg(number(lowLimit), number(lowClear));
    if (rise)
        items << QStringLiteral("rise=%1,%2,%3")
                     .arg(number(riseLimit), SettingText::duration(risePeriod), number(riseClear));
    return items.join(QLatin1Char(';'));
}

const ValueAlarms::State::Alarm &ValueAlarms::State::alarm(Kind kind) const
{
    return kind == Kind::High ? high : kind == Kind::Low ? low : rise;
}

ValueAlarms::State::Alarm &ValueAlarms::State::alarm(Kind kind)
{
    return kind == Kind::High ? high : kind == Kind::Low ? low : rise;
}

bool ValueAlarms::State::operator==(const State &o) const
{
    for (const Kind k : kinds) {
        const Alarm &a = alarm(k), &b = o.alarm(k);
        if (a.active != b.active || (a.active && (a.since != b.since || a.value != b.value)))
            return false;
    }
    return checked == o.checked && (!checked || lastMinute == o.lastMinute) && recent == o.recent;
}

QString ValueAlarms::State::toJson() const
{
    QJsonObject o;
    for (const Kind k : kinds) {
        const Alarm &a = alarm(k);
        if (a.active)
            o.insert(kindName(k), QJsonObject{{QStringLiteral("since"), double(a.since)},
                                              {QStringLiteral("value"), a.value}});
    }
    if (checked)
        o.insert(QStringLiteral("last"), double(lastMinute));
    if (!recent.isEmpty()) {
        QJsonArray values;
        for (const auto &r : recent)
            values.append(QJsonArray{double(r.first), r.second});
        o.insert(QStringLiteral("recent"), values);
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

bool ValueAlarms::State::fromJson(const QString &text, State *state, QString *error)
{
    if (text.trimmed().isEmpty()) {
        *state = State();
        return true;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = QStringLiteral("alarm state is not a JSON object");
        return false;
    }
    const QJsonObject o = doc.object();
    State s;
    for (const Kind k : kinds) {
        const QJsonValue v = o.value(kindName(k));
        if (v.isUndefined())
            continue;
        Alarm &a = s.alarm(k);
        if (!v.isObject() || !readMinute(v.toObject().value(QStringLiteral("since")), &a.since) ||
            !readNumber(v.toObject().value(QStringLiteral("value")), &a.value)) {
            *error = QStringLiteral("alarm state: bad %1 alarm").arg(kindName(k));
            return false;
        }
        a.active = true;
    }
    const QJsonValue last = o.value(QStringLiteral("last"));
    if (!last.isUndefined()) {
        if (!readMinute(last, &s.lastMinute)) {
            *error = QStringLiteral("alarm state: bad time of the last value");
            return false;
        }
        s.checked = true;
    }
    const QJsonValue recent = o.value(QStringLiteral("recent"));
    if (!recent.isUndefined()) {
        const QJsonArray values = recent.toArray();
        if (!recent.isArray() || values.size() > 100000) {
            *error = QStringLiteral("alarm state: bad list of recent values");
            return false;
        }
        for (const QJsonValue &v : values) {
            const QJsonArray pair = v.toArray();
            qint64 minute = 0;
            double value = 0;
            if (pair.size() != 2 || !readMinute(pair.at(0), &minute) || !readNumber(pair.at(1), &value) ||
                (!s.recent.isEmpty() && minute <= s.recent.last().first)) {
                *error = QStringLiteral("alarm state: bad list of recent values");
                return false;
            }
            s.recent.append({minute, value});
        }
    }
    *state = s;
    return true;
}

void ValueAlarms::checkLimit(Kind kind, bool on, bool beyond, bool back, double limit, double clear,
                             qint64 minute, double value, QVector<Event> *events)
{
    State::Alarm &a = m_state.alarm(kind);
    if (!on) {
        // The setting was removed: an alarm left on would never clear.
        if (a.active) {
            events->append({kind, false, minute, value, std::numeric_limits<double>::quiet_NaN()});
            a = State::Alarm();
        }
        return;
    }
    if (!a.active && beyond) {
        a.active = true;
        a.since = minute;
        a.value = value;
        events->append({kind, true, minute, value, limit});
    } else if (a.active && back) {
        a = State::Alarm();
        events->append({kind, false, minute, value, clear});
    }
}

QVector<ValueAlarms::Event> ValueAlarms::check(qint64 minute, double value, quint8 flag)
{
    QVector<Event> events;
    if (flag == 4 || flag == 9 || !std::isfinite(value) || (m_state.checked && minute <= m_state.lastMinute))
        return events;
    const Settings &c = m_settings;
    checkLimit(Kind::High, c.high, value > c.highLimit, value < c.highClear, c.highLimit, c.highClear, minute,
               value, &events);
    checkLimit(Kind::Low, c.low, value<c.lowLimit, value> c.lowClear, c.lowLimit, c.lowClear, minute, value,
               &events);

    QVector<QPair<qint64, double>> &recent = m_state.recent;
    if (c.rise) {
        const auto first = std::find_if(recent.begin(), recent.end(), [&](const QPair<qint64, double> &r) {
            return r.first >= minute - c.risePeriod;
        });
        recent.erase(recent.begin(), first);
        // With no earlier value in the period the rise is unknown: the alarm stays as it is.
        if (!recent.isEmpty()) {
            double lowest = recent.first().second;
            for (const auto &r : recent)
                lowest = std::min(lowest, r.second);
            const double rise = value - lowest;
            checkLimit(Kind::Rise, true, rise > c.riseLimit, rise < c.riseClear, c.riseLimit, c.riseClear,
                       minute, value, &events);
        }
        recent.append({minute, value});
    } else {
        recent.clear();
        checkLimit(Kind::Rise, false, false, false, 0, 0, minute, value, &events);
    }
    m_state.checked = true;
    m_state.lastMinute = minute;
    return events;
}
