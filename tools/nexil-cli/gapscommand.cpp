#include "gapscommand.h"

#include "storejoin.h"

#include "nexil/files/gapfinder.h"
#include "nexil/files/gapjson.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

const char *const kMinute = "yyyy-MM-ddTHH:mm";

QString percentText(double percent)
{
    return percent < 0 ? QStringLiteral("-") : QString::number(percent, 'f', 2);
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
    if (parser.isSet("from") && !GapJson::parseDate(parser.value("from"), false, &from)) {
        std::fprintf(stderr, "--from takes yyyy-MM-dd or yyyy-MM-ddTHH:mm\n");
        return 2;
    }
    if (parser.isSet("to") && !GapJson::parseDate(parser.value("to"), true, &to)) {
        std::fprintf(stderr, "--to takes yyyy-MM-dd or yyyy-MM-ddTHH:mm\n");
        return 2;
    }
    if (from.isValid() && to.isValid() && from > to) {
        std::fprintf(stderr, "--from is after --to\n");
        return 2;
    }

    QTemporaryDir joined;
    QString problem;
    if (!joinWithStore(parser, files, joined.path(), &files, &problem)) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    GapFinder finder;
    finder.setRange(from, to);
    if (!finder.run(files)) {
        std::fprintf(stderr, "%s\n", qPrintable(finder.errorText()));
        return 1;
    }
    if (parser.isSet("json")) {
        std::fputs(QJsonDocument(GapJson::toJson(finder)).toJson(QJsonDocument::Indented).constData(),
                   stdout);
    } else {
        QTextStream out(stdout);
        out.setCodec("UTF-8");
        printTable(finder, out);
    }
    return 0;
}
