#include "gapscommand.h"

#include "nexil/files/gapfinder.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace {

const char *const kMinute = "yyyy-MM-ddTHH:mm";

// "yyyy-MM-dd" or "yyyy-MM-ddTHH:mm" (a space instead of the T also does);
// a bare date at the end of a range means the whole day.
bool parseDate(const QString &text, bool endOfRange, QDateTime *out)
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

QJsonValue percentValue(double percent)
{
    return percent < 0 ? QJsonValue() : QJsonValue(qRound(percent * 100) / 100.0);
}

QString percentText(double percent)
{
    return percent < 0 ? QStringLiteral("-") : QString::number(percent, 'f', 2);
}

QJsonObject toJson(const GapFinder &finder)
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

void printTable(const GapFinder &finder, QTextStream &out)
{
    out << "Station " << finder.stationCode() << " " << finder.stationName() << "\n";
    if (!finder.from().isValid()) {
        out << "No values in range.\n";
        return;
    }
    out << "From " << finder.from().toString(kMinute) << " to " << finder.to().toString(kMinute) << "\n\n";
    out << qSetFieldWidth(8) << Qt::left << "Channel" << qSetFieldWidth(20) << "Name" << qSetFieldWidth(10)
        << Qt::right << "Every"
        << "Present"
        << "Missing"
        << "Errors"
        << "Complete" << qSetFieldWidth(0) << "\n";
    for (const GapFinder::ChannelFigures &c : finder.channels())
        out << qSetFieldWidth(8) << Qt::left << c.channel << qSetFieldWidth(20) << c.name.left(19)
            << qSetFieldWidth(10) << Qt::right << QStringLiteral("%1 min").arg(c.interval) << c.present
            << c.missing << c.sensorErrors << percentText(c.completeness()) + " %" << qSetFieldWidth(0)
            << "\n";

    out << "\n" << finder.gaps().size() << (finder.gaps().size() == 1 ? " gap" : " gaps") << "\n";
    if (!finder.gaps().isEmpty())
        out << qSetFieldWidth(8) << Qt::left << "Channel" << qSetFieldWidth(18) << "From"
            << "To" << qSetFieldWidth(10) << Qt::right << "Missing" << qSetFieldWidth(0) << "\n";
    for (const GapFinder::Gap &g : finder.gaps())
        out << qSetFieldWidth(8) << Qt::left << g.channel << qSetFieldWidth(18) << g.from.toString(kMinute)
            << g.to.toString(kMinute) << qSetFieldWidth(10) << Qt::right << g.missing << qSetFieldWidth(0)
            << "\n";

    out << "\nCompleteness per day (%)\n" << qSetFieldWidth(12) << Qt::left << "Date" << Qt::right;
    for (const GapFinder::ChannelFigures &c : finder.channels())
        out << qSetFieldWidth(8) << c.channel;
    out << qSetFieldWidth(0) << "\n";
    for (const GapFinder::DayFigures &d : finder.days()) {
        out << qSetFieldWidth(12) << Qt::left << d.date.toString(Qt::ISODate) << Qt::right;
        for (int i = 0; i < finder.channels().size(); ++i)
            out << qSetFieldWidth(8) << percentText(d.completeness(i));
        out << qSetFieldWidth(0) << "\n";
    }
}

} // namespace

int gapsCommand(const QCommandLineParser &parser)
{
    QStringList files = parser.positionalArguments();
    files.removeFirst();
    if (files.isEmpty()) {
        std::fprintf(stderr,
                     "usage: nexil-cli gaps FILE.xml [FILE.xml ...] [--from DATE] [--to DATE] [--json]\n");
        return 2;
    }
    QDateTime from, to;
    if (parser.isSet("from") && !parseDate(parser.value("from"), false, &from)) {
        std::fprintf(stderr, "--from takes yyyy-MM-dd or yyyy-MM-ddTHH:mm\n");
        return 2;
    }
    if (parser.isSet("to") && !parseDate(parser.value("to"), true, &to)) {
        std::fprintf(stderr, "--to takes yyyy-MM-dd or yyyy-MM-ddTHH:mm\n");
        return 2;
    }
    if (from.isValid() && to.isValid() && from > to) {
        std::fprintf(stderr, "--from is after --to\n");
        return 2;
    }

    GapFinder finder;
    finder.setRange(from, to);
    if (!finder.run(files)) {
        std::fprintf(stderr, "%s\n", qPrintable(finder.errorText()));
        return 1;
    }
    if (parser.isSet("json")) {
        std::fputs(QJsonDocument(toJson(finder)).toJson(QJsonDocument::Indented).constData(), stdout);
    } else {
        QTextStream out(stdout);
        out.setCodec("UTF-8");
        printTable(finder, out);
    }
    return 0;
}
