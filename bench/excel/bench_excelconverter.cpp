// Converts a one-year data file (9 channels every 10 minutes) to .xls and
// .xlsx, with and without pivot sheets, each in a child process so that
// every case reports its own peak memory.
//   bench_excelconverter [work folder]

#include "nexil/excel/excelconverter.h"
#include "support/benchfiles.h"

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

int convertOnce(const QString &path, int type, bool pivot)
{
    ExcelConverter converter;
    QElapsedTimer t;
    t.start();
    const bool ok = converter.convert(path, ExcelConverter::ExcelType(type), pivot);
    const double seconds = t.elapsed() / 1000.0;
    std::printf("%-5s %-8s %s  %6.2f s  peak %4ld MB  %6.1f MB%s%s\n", type == 1 ? ".xls" : ".xlsx",
                pivot ? "pivot" : "no pivot", ok ? "ok  " : "FAIL", seconds, benchfiles::peakKb() / 1024,
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
    if (!QFile::exists(path) && benchfiles::writeYear(path) != 0)
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
