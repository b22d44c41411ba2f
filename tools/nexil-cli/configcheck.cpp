#include "configcheck.h"

#include <QJsonArray>

namespace configcheck {

namespace {

struct NumberLimit
{
    const char *section;
    const char *member;
    double low;
    double high;
    int entries; // 0: a single value; otherwise a list of at most this many
};

struct TextLimit
{
    const char *section;
    const char *member;
    int maxLength; // 0: no limit
    int entries;
};

const NumberLimit numberLimits[] = {
    {"setupParameters", "region", 0, 255, 0},
    {"setupParameters", "basin", 0, 255, 0},
    {"setupParameters", "stationNo", 0, 65535, 0},
    {"setupParameters", "sensorOnOffTime", 0, 30, 0},
    {"setupParameters", "sensorWaitTime", 0, 180, 0},
    {"setupParameters", "dayStart", 0, 23, 0},
    // Each goes out as one digit.
    {"setupParameters", "setupDigitA", 0, 9, 0},
    {"setupParameters", "setupDigitB", 0, 9, 0},
    {"setupParameters", "setupDigitC", 0, 9, 0},
    {"channelNames", "channelCount", 0, 9, 0},
    {"channelNames", "channelStates", 0, 1, 9},
    {"channelNames", "recordIntervals", 1, 1440, 9},
    {"channelNames", "codes", 32, 56, 9},
    {"channelNames", "minMaxTypes", 0, 1, 9},
    {"channelNames", "recordTypes", 0, 1, 9},
    {"channelCalibrations", "offsets", -100000000, 100000000, 5},
    {"channelCalibrations", "maxValues", -100000000, 100000000, 5},
    {"channelCalibrations", "minValues", -100000000, 100000000, 5},
    {"channelCalibrations", "gains", -1000000, 1000000, 7},
    // These two go out as one digit per channel, side by side.
    {"channelCalibrations", "multipliers", 0, 9, 5},
    {"channelCalibrations", "minVoltages", -1000000, 1000000, 5},
    {"channelCalibrations", "measurementTypes", 0, 9, 7},
    {"alarmParameters", "maximums", 0, 99999.9999, 4},
    {"alarmParameters", "maximumResets", 0, 99999.9999, 4},
    {"alarmParameters", "minimums", 0, 99999.9999, 4},
    {"alarmParameters", "minimumResets", 0, 99999.9999, 4},
};

const TextLimit textLimits[] = {
    {"setupParameters", "stationName", 24, 0},
    {"setupParameters", "stationCode", 24, 0},
    {"channelNames", "names", 0, 9},
    {"channelCalibrations", "units", 0, 9},
};

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

// Field separators and other control bytes would break the record apart;
// channel names go out as Latin-1.
QString textProblem(const QString &text, int maxLength, bool latin1)
{
    if (maxLength > 0 && text.size() > maxLength)
        return QStringLiteral("has %1 characters, at most %2").arg(text.size()).arg(maxLength);
    for (const QChar c : text) {
        if (c.unicode() < 0x20)
            return QStringLiteral("holds a control character");
        if (latin1 && c.unicode() > 0xFF)
            return QStringLiteral("holds \"%1\", which the device cannot store").arg(c);
    }
    return QString();
}

// The entries of a member as given: one for a single value.
QJsonArray entriesOf(const QJsonValue &value, int entries)
{
    if (entries == 0)
        return QJsonArray{value};
    return value.toArray();
}

} // namespace

QStringList outOfRange(const QJsonObject &config, const QJsonObject &device)
{
    QStringList problems;
    const auto check = [&](const char *sectionName, const char *memberName, int entries, auto problemOf) {
        const QString section = QLatin1String(sectionName);
        const QString member = QLatin1String(memberName);
        const QJsonObject given = config.value(section).toObject();
        if (!given.contains(member))
            return;
        const QString path = section + QLatin1Char('.') + member;
        const QJsonValue value = given.value(member);
        if (entries > 0 && value.toArray().size() > entries) {
            problems << QStringLiteral("%1: %2 entries, at most %3")
                            .arg(path)
                            .arg(value.toArray().size())
                            .arg(entries);
            return;
        }
        const QJsonArray values = entriesOf(value, entries);
        const QJsonArray current = entriesOf(device.value(section).toObject().value(member), entries);
        for (int i = 0; i < values.size(); ++i) {
            if (i < current.size() && values.at(i) == current.at(i))
                continue;
            const QString problem = problemOf(values.at(i));
            if (!problem.isEmpty())
                problems << (entries > 0 ? QStringLiteral("%1[%2]: ").arg(path).arg(i)
                                         : path + QStringLiteral(": ")) +
                                problem;
        }
    };
    for (const NumberLimit &limit : numberLimits) {
        check(limit.section, limit.member, limit.entries, [&](const QJsonValue &v) {
            if (!v.isDouble())
                return QString(); // a type error, reported by the reader
            const double d = v.toDouble();
            if (d >= limit.low && d <= limit.high)
                return QString();
            return QStringLiteral("%1 is not within %2..%3")
                .arg(number(d), number(limit.low), number(limit.high));
        });
    }
    for (const TextLimit &limit : textLimits) {
        const bool latin1 = QLatin1String(limit.member) == QLatin1String("names");
        check(limit.section, limit.member, limit.entries,
              [&](const QJsonValue &v) { return textProblem(v.toString(), limit.maxLength, latin1); });
    }
    return problems;
}

} // namespace configcheck
