// Finds the holes of a one-year data file (9 channels every 10 minutes, one
// record in 500 left out) and reports the time and the peak memory.
//   bench_gapfinder [work folder]

#include "nexil/files/gapfinder.h"
#include "support/benchfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString path = dir + QStringLiteral("/Holes_01012023.xml");
    if (!QFile::exists(path) && benchfiles::writeYear(path, 500) != 0)
        return 1;
    const long before = benchfiles::peakKb();

    GapFinder finder;
    QElapsedTimer t;
    t.start();
    if (!finder.run({path})) {
        std::fprintf(stderr, "%s\n", qPrintable(finder.errorText()));
        return 1;
    }
    const double seconds = t.elapsed() / 1000.0;
    qint64 missing = 0;
    for (const GapFinder::ChannelFigures &c : finder.channels())
        missing += c.missing;
    std::printf("gaps: %.1f MB file, %d gaps, %lld missing values, %d days: %.2f s, peak %ld MB "
                "(%ld MB before the run)\n",
                QFileInfo(path).size() / 1048576.0, int(finder.gaps().size()), missing,
                int(finder.days().size()), seconds, benchfiles::peakKb() / 1024, before / 1024);
    return 0;
}
