// Writes a one-year data file (9 channels every 10 minutes) in each exchange
// format and reports the time and the peak memory of each run.
//   bench_seriesexporter [work folder]

#include "nexil/files/seriesexporter.h"
#include "support/benchfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString path = dir + QStringLiteral("/Series_01012023.xml");
    if (!QFile::exists(path) && benchfiles::writeYear(path) != 0)
        return 1;
    std::printf("peak before the runs: %ld MB\n", benchfiles::peakKb() / 1024);
    for (const char *name : {"waterml2", "zrxp", "csv"}) {
        SeriesExporter exporter;
        SeriesExporter::Format format;
        SeriesExporter::parseFormat(QString::fromLatin1(name), &format);
        exporter.setFormat(format);
        exporter.setLocale(SeriesExporter::Locale::Turkish);
        QFile out(dir + QStringLiteral("/out.") + SeriesExporter::suffix(format));
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        QElapsedTimer t;
        t.start();
        // CPU time too: on a shared machine the wall-clock time says little.
        const std::clock_t cpu = std::clock();
        if (!exporter.run({path}, &out)) {
            std::fprintf(stderr, "%s\n", qPrintable(exporter.errorText()));
            return 1;
        }
        out.close();
        std::printf("%s: %lld values, %.1f MB written: %.2f s (%.2f s CPU), peak %ld MB\n", name,
                    exporter.valueCount(), QFileInfo(out.fileName()).size() / 1048576.0, t.elapsed() / 1000.0,
                    double(std::clock() - cpu) / CLOCKS_PER_SEC, benchfiles::peakKb() / 1024);
    }
    return 0;
}
