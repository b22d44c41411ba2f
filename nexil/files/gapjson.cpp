#include "nexil/files/gapjson.h"

#include <QJsonArray>

namespace {

const char *const kMinute = "yyyy-MM-ddTHH:mm";

// "yyyy-MM-dd" or "yyyy-MM-ddTHH:mm" (a space instead of the T also does);
// a bare date at the end of a range means the whole day.
} // namespace

bool GapJson::parseDate(const QString &text, bool endOfRange, QDateTime *out)
{
    const QString t = text.trimmed();
    const QDate date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid()) {
        *out = QDateTime(date, endOfRange ? QTime(23, 59) : QTime(0, 0), Qt::UTC);
        return true;
    }
    QString joined = t;
    if (joined.size() > 10 && joined.at(10) == ' ')
        joined[10] = 'T';
    // The files hold the device's wall-clock times: read without the host's
    // zone, so that 02:30 on a spring change is a time like any other.
    *out = QDateTime::fromString(joined, QString::fromLatin1(kMinute));
    if (!out->isValid()) {
        const QDate day = QDate::fromString(joined.left(10), QStringLiteral("yyyy-MM-dd"));
        const QTime time = QTime::fromString(joined.mid(11), QStringLiteral("HH:mm"));
        if (joined.size() != 16 || joined.at(10) != 'T' || !day.isValid() || !time.isValid())
            return false;
        *out = QDateTime(day, time, Qt::UTC);
    }
    *out = QDateTime(out->date(), out->time(), Qt::UTC);
    return out->isValid();
}

namespace {

QJsonValue percentValue(double percent)
{
    return percent < 0 ? QJsonValue() : QJsonValue(qRound(percent * 100) / 100.0);
}

} // namespace

QJsonObject GapJson::toJson(const GapFinder &finder)
{
    QJsonObject root;
    root["station"] = finder.stationCode();
    root["stationName"] = finder.stationName();
    root["from"] = finder.from().isValid() ? QJsonValue(finder.from().toString(kMinute)) : QJsonValue();
    root["to"] = finder.to().isValid() ? QJsonValue(finder.to().toString(kMinute)) : QJsonValue();
    QJsonArray channels;
    for (const GapFinder::ChannelFigures &c : finder.channels())
        channels.append(QJsonObject{{"channel", c.channel},
                                    {"name", c.name},
                                    {"interval", c.interval},
                                    {"present", c.present},
                                    {"missing", c.missing},
                                    {"sensorErrors", c.sensorErrors},
                                    {"completeness", percentValue(c.completeness())}});
    root["channels"] = channels;
    QJsonArray gaps;
    for (const GapFinder::Gap &g : finder.gaps())
        gaps.append(QJsonObject{{"channel", g.channel},
                                {"from", g.from.toString(kMinute)},
                                {"to", g.to.toString(kMinute)},
                                {"missing", g.missing}});
    root["gaps"] = gaps;
    QJsonArray days;
    for (const GapFinder::DayFigures &d : finder.days()) {
        QJsonArray perChannel;
        for (int i = 0; i < finder.channels().size(); ++i)
            perChannel.append(QJsonObject{{"channel", finder.channels().at(i).channel},
                                          {"present", d.present.at(i)},
                                          {"missing", d.missing.at(i)},
                                          {"sensorErrors", d.sensorErrors.at(i)},
                                          {"completeness", percentValue(d.completeness(i))}});
        days.append(QJsonObject{{"date", d.date.toString(Qt::ISODate)}, {"channels", perChannel}});
    }
    root["days"] = days;
    return root;
}
