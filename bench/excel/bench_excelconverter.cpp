// Converts a one-year data file (9 channels every 10 minutes) to .xls and
// .xlsx, with and without pivot sheets, each in a child process so that
// every case reports its own peak memory.
//   bench_excelconverter [work folder]

#include "nexil/excel/excelconverter.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QXmlStreamWriter>
#include <cstdio>

namespace {

long peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

int writeYear(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QXmlStreamWriter x(&file);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeStartElement("device");
    x.writeStartElement("header");
    x.writeStartElement("station");
    x.writeTextElement("code", "D15A012");
    x.writeTextElement("name", "Bench station");
    x.writeEndElement();
    x.writeStartElement("setup");
    x.writeTextElement("timestamp", "2023-01-01 00:00");
    x.writeTextElement("channel_count", "9");
    x.writeStartElement("channels");
    for (int c = 0; c < 9; ++c) {
        x.writeStartElement("channel");
        x.writeAttribute("id", QString::number(c));
        x.writeAttribute("code", "CH");
        x.writeTextElement("name", QStringLiteral("Channel %1").arg(c));
        x.writeTextElement("unit", "u");
        x.writeTextElement("interval", "10");
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndElement();
    x.writeStartElement("data");
    int lines = 0;
    auto line = [&](int c, const char *type, const QString &date, const QString &time, double v) {
        x.writeEmptyElement("line");
        x.writeAttribute("channel", QString::number(c));
        x.writeAttribute("dataType", QString::fromLatin1(type));
        x.writeAttribute("date", date);
        x.writeAttribute("time", time);
        x.writeAttribute("setTime", "false");
        x.writeAttribute("value", QString::number(v, 'f', 4));
        ++lines;
    };
    for (QDate d(2023, 1, 1); d.year() == 2023; d = d.addDays(1)) {
        const QString date = d.toString(Qt::ISODate);
        for (int m = 0; m < 1440; m += 10) {
            const QString time = QTime(0, 0).addSecs(m * 60).toString("hh:mm");
            for (int c = 0; c < 9; ++c)
                line(c, "INS", date, time, c * 10 + (m % 97) * 0.37 + d.dayOfYear() * 0.01);
        }
        for (int c = 0; c < 9; ++c) {
            line(c, "MIN", date, "03:10", c * 10.0);
            line(c, "MAX", date, "14:50", c * 10 + 35.0);
            line(c, "AVG", date, "23:59", c * 10 + 17.5);
            line(c, "TOT", date, "23:59", c * 10 * 144.0);
        }
    }
    x.writeEndDocument();
    std::printf("data file: %d lines, %.1f MB\n", lines, file.size() / 1048576.0);
    return 0;
}

int convertOnce(const QString &path, int type, bool pivot)
{
    ExcelConverter converter;
    QElapsedTimer t;
    t.start();
    const bool ok = converter.convert(path, ExcelConverter::ExcelType(type), pivot);
    const double seconds = t.elapsed() / 1000.0;
    std::printf("%-5s %-8s %s  %6.2f s  peak %4ld MB  %6.1f MB%s%s\n", type == 1 ? ".xls" : ".xlsx",
                pivot ? "pivot" : "no pivot", ok ? "ok  " : "FAIL", seconds, peakKb() / 1024,
                QFileInfo(converter.outputPath()).size() / 1048576.0, ok ? "" : "  ",
                qPrintable(converter.errorDetail()));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("--convert"))
        return convertOnce(args.at(2), args.at(3).toInt(), args.at(4) == QLatin1String("1"));

    QTemporaryDir temp;
    const QString dir = args.size() > 1 ? args.at(1) : temp.path();
    const QString path = dir + QStringLiteral("/Bench_01012023.xml");
    if (!QFile::exists(path) && writeYear(path) != 0)
        return 1;
    int failures = 0;
    for (int type : {1, 2})
        for (int pivot : {0, 1}) {
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedChannels);
            p.start(app.applicationFilePath(),
                    {QStringLiteral("--convert"), path, QString::number(type), QString::number(pivot)});
            p.waitForFinished(-1);
            failures += p.exitCode() != 0;
        }
    return failures ? 1 : 0;
}
