// Reading a year-long data file joined with the store's values: a year of
// 9 channels every 10 minutes committed through two folders, the file of
// one of them read by an HTTP route. Prints the time and memory of the first
// read (the union is made) and of the next (made already), then of reading
// the values' flags from the store and of the year's WaterML export with
// and without them.

#include "store/databaseconnection.h"
#include "store/readablefiles.h"
#include "store/valueflags.h"
#include "store/visitcommit.h"
#include "support/benchfiles.h"

#include "nexil/files/datafilewriter.h"
#include "nexil/files/dataformat.h"
#include "nexil/files/seriesexporter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <ctime>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("a"));
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("B01_01012023.xml"));
    if (benchfiles::writeYear(path) != 0)
        return 1;

    DatabaseConnection db;
    if (!db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()))
        return 1;
    DBStation station;
    station.code = QStringLiteral("B01");
    const int id = DatabaseConnection::insertStation(station);
    DataFileHeader header;
    header.stationCode = station.code;
    header.channelCount = QStringLiteral("9");
    for (int c = 0; c < 9; ++c)
        header.channels.append({QString::number(c), QStringLiteral("CH"), QStringLiteral("Channel %1").arg(c),
                                QStringLiteral("u"), QStringLiteral("10")});
    const QString here = ReadableFiles::destinationOf(folder);

    // Each day committed through one of the two folders in turn.
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    VisitCommit commit;
    int day = 0, values = 0;
    const auto flush = [&] {
        if (commit.values.isEmpty())
            return true;
        commit.target = {id, QFileInfo(path).fileName(), day % 2 ? here : QStringLiteral("other:/srv/B01")};
        commit.point.page = day;
        commit.point.timeBase = QDateTime(QDate(2023, 1, 1), QTime(0, 0));
        commit.header = DataFileWriter::headerElement(header);
        values += commit.values.size();
        const bool ok = commit.run(DatabaseConnection::connectionName()).result == VisitCommit::Committed;
        commit.values.clear();
        ++day;
        return ok;
    };
    QString lastDate;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("line"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QString date = a.value(QLatin1String("date")).toString();
        if (date != lastDate && !flush())
            return 1;
        lastDate = date;
        const int channel = a.value(QLatin1String("channel")).toInt();
        commit.values.append({channel, a.value(QLatin1String("dataType")).toString(),
                              date + QLatin1Char(' ') + a.value(QLatin1String("time")),
                              a.value(QLatin1String("value")).toString(), false, channel,
                              QStringLiteral("CH"), QStringLiteral("u")});
    }
    if (!flush())
        return 1;
    std::printf("committed %d values in %d commits: %.1f s\n", values, day, timer.nsecsElapsed() / 1e9);

    ReadableFiles readable(dir.filePath(QStringLiteral("cache")));
    const ReadableFiles::StoreRun onStore = [](const std::function<bool(const QString &)> &question) {
        return question(DatabaseConnection::connectionName());
    };
    for (const char *what : {"first read (union made)", "next read (union kept)"}) {
        const long before = benchfiles::peakKb();
        timer.restart();
        QStringList files;
        QString problem;
        if (!readable.files(id, here, {path}, true, onStore, &files, &problem)) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 1;
        }
        std::printf("%s: %.3f s, peak RSS +%.1f MiB (%.1f MiB in all), %.1f MB read\n", what,
                    timer.nsecsElapsed() / 1e9, (benchfiles::peakKb() - before) / 1024.0,
                    benchfiles::peakKb() / 1024.0, QFileInfo(files.value(0)).size() / 1048576.0);
    }

    // Mostly passed, some suspect and failed: points with their own quality.
    QSqlQuery judge(QSqlDatabase::database(DatabaseConnection::connectionName()));
    if (!judge.exec(QStringLiteral("UPDATE station_values SET flag = CASE WHEN seq % 50 = 0 THEN 3 "
                                   "WHEN seq % 97 = 0 THEN 4 ELSE 1 END")))
        return 1;
    long before = benchfiles::peakKb();
    timer.restart();
    const std::clock_t flagsCpu = std::clock();
    ValueFlags flags;
    if (!flags.load(DatabaseConnection::connectionName(), id, QString(), QString()))
        return 1;
    std::printf("flags read: %d in %.3f s (%.3f s CPU), peak RSS +%.1f MiB\n", flags.count(),
                timer.nsecsElapsed() / 1e9, double(std::clock() - flagsCpu) / CLOCKS_PER_SEC,
                (benchfiles::peakKb() - before) / 1024.0);
    for (const bool flagged : {false, true}) {
        SeriesExporter exporter;
        exporter.setFormat(SeriesExporter::Format::WaterML2);
        if (flagged)
            exporter.setFlags(flags.source());
        QFile out(dir.filePath(QStringLiteral("out.xml")));
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        before = benchfiles::peakKb();
        timer.restart();
        // CPU time too: on a shared machine the wall-clock time says little.
        const std::clock_t cpu = std::clock();
        if (!exporter.run({path}, &out))
            return 1;
        out.close();
        std::printf("WaterML of the year %s: %lld values, %.1f MB, %.3f s (%.3f s CPU), peak RSS +%.1f MiB\n",
                    flagged ? "with flags" : "without flags", exporter.valueCount(), out.size() / 1048576.0,
                    timer.nsecsElapsed() / 1e9, double(std::clock() - cpu) / CLOCKS_PER_SEC,
                    (benchfiles::peakKb() - before) / 1024.0);
    }
    return 0;
}
