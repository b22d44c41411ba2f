// Appending a day to a year-long data file, with its text export (in place,
// synced to disk), and reading the resume point back. Each step runs in a fresh process so its
// peak memory is its own.
//
//   bench_filemanager [runs] [--document]
//
// --document also times the whole-document way of appending, for scale
// (it needs well over a gigabyte).

#include "nexil/files/filemanager.h"
#include "support/benchfiles.h"

#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int channels = 9;

DataFile describe()
{
    DataFile f;
    f.deviceType = DeviceTQM510;
    f.deviceTypeName = QStringLiteral("TQM510");
    f.deviceTypeDescription = QStringLiteral("Hidrometeorolojik istasyon");
    f.supplyVoltage = 12.6f;
    f.stationCode = QStringLiteral("D18A001");
    f.stationName = QStringLiteral("Köprübaşı");
    f.region = 18;
    f.basin = 7;
    f.stationNo = 1;
    f.channelCount = channels;
    f.dayStartHour = 8;
    for (int i = 0; i < channels; ++i) {
        f.channelFlags.append(1);
        f.channelCodes.append(ChannelCode(CodeAH + i));
        f.channelNames.append(QStringLiteral("Kanal %1").arg(i + 1));
        f.channelUnits.append(QStringLiteral("m"));
        f.channelIntervals.append(10);
    }
    f.setupTime = QDateTime(QDate(2025, 1, 1), QTime(0, 0));
    return f;
}

DataLine dataLine(const QDateTime &t, ValueType type, const char *name, int channel, float value, bool set)
{
    DataLine l;
    l.dateTime = t;
    l.valueType = type;
    l.valueTypeName = QString::fromLatin1(name);
    l.channel = channel;
    l.value = value;
    l.setTime = set;
    return l;
}

// Days of measurements every 10 minutes on every channel, each day closed
// by its daily summary, in the order the logger stores them.
void addDays(DataFile &f, const QDate &first, int days)
{
    int n = 0;
    for (int d = 0; d < days; ++d) {
        const QDate day = first.addDays(d);
        for (int slot = 0; slot < 144; ++slot) {
            const QDateTime t(day, QTime(slot / 6, slot % 6 * 10));
            for (int c = 0; c < channels; ++c) {
                const float value = (++n % 997 == 0) ? -9999.0f : float((n * 37) % 10000) / 7.0f;
                f.lines.append(dataLine(t, ValueINS, "INS", c, value, d == 0 && slot == 0));
            }
        }
        const QDateTime end(day.addDays(1), QTime(7, 59));
        for (int c = 0; c < channels; ++c)
            f.lines.append(dataLine(QDateTime(day, QTime(14, 20)), ValueMAX, "MAX", c, 900.5f + c, false));
        for (int c = 0; c < channels; ++c)
            f.lines.append(dataLine(QDateTime(day, QTime(3, 10)), ValueMIN, "MIN", c, 1.25f * c, false));
        for (int c = 0; c < channels; ++c)
            f.lines.append(dataLine(end, ValueAVG, "AVG", c, 450.125f, false));
        for (int c = 0; c < channels; ++c)
            f.lines.append(dataLine(end, ValueTOT, "TOT", c, 10000.5f, false));
    }
    f.memoryPage = 5000 + days;
    f.lastConnectionTime = QDateTime(first.addDays(days), QTime(8, 15));
    // As a download keeps it: the base the next one resumes from.
    f.timeBase = QDateTime(first.addDays(days), QTime(0, 0));
}

int generate(const QString &path)
{
    DataFile f = describe();
    addDays(f, QDate(2025, 1, 1), 365);
    FileManager manager;
    // With its text export, as a station that has one keeps it.
    const int result = manager.saveFile(f, path, true, false);
    std::printf("generated %d lines, %.1f MB\n", int(f.lines.size()), QFileInfo(path).size() / 1e6);
    return result;
}

int append(const QString &path)
{
    DataFile f = describe();
    addDays(f, QDate(2026, 1, 1), 1);
    FileManager manager;
    // What the append itself takes, beside the libraries the process loaded.
    const long before = benchfiles::peakKb();
    QElapsedTimer timer;
    timer.start();
    const int result = manager.saveFile(f, path, true, false);
    std::printf("append %d lines with text export: %.3f s, peak RSS +%.1f MiB over the %.1f MiB before it",
                int(f.lines.size()), timer.nsecsElapsed() / 1e9, (benchfiles::peakKb() - before) / 1024.0,
                before / 1024.0);
    return result;
}

int resume(const QString &path)
{
    FileManager manager;
    int page = 0, buffer = 0;
    QDateTime time;
    QElapsedTimer timer;
    timer.start();
    const int result = manager.getLastMemoryAddresses(&page, &buffer, &time, path);
    std::printf("resume point (page %d, %s): %.3f s", page, qPrintable(time.toString(Qt::ISODate)),
                timer.nsecsElapsed() / 1e9);
    return result;
}

// The whole-document way: parse, append, write, export.
int document(const QString &path)
{
    DataFile f = describe();
    addDays(f, QDate(2026, 1, 1), 1);
    QElapsedTimer timer;
    timer.start();
    QDomDocument d;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !d.setContent(&file))
        return 1;
    QDomElement data = d.documentElement().firstChildElement(QStringLiteral("data"));
    for (const DataLine &l : qAsConst(f.lines)) {
        QDomElement e = d.createElement(QStringLiteral("line"));
        e.setAttribute(QStringLiteral("channel"), l.channel);
        e.setAttribute(QStringLiteral("dataType"), l.valueTypeName);
        e.setAttribute(QStringLiteral("date"), l.dateTime.toString(QStringLiteral("yyyy-MM-dd")));
        e.setAttribute(QStringLiteral("time"), l.dateTime.toString(QStringLiteral("hh:mm")));
        e.setAttribute(QStringLiteral("setTime"),
                       l.setTime ? QStringLiteral("true") : QStringLiteral("false"));
        e.setAttribute(QStringLiteral("value"), QString::number(double(l.value), 'f', 4));
        data.appendChild(e);
    }
    FileManager manager;
    const bool saved = manager.saveXML(d, path);
    manager.exportToText(d, path);
    std::printf("document append with text export: %.3f s", timer.nsecsElapsed() / 1e9);
    return saved ? 0 : 2;
}

// Runs one step in a child process; returns its peak RSS in MiB.
double runChild(const char *self, const char *step, const QString &path)
{
    std::fflush(stdout);
    const QByteArray p = path.toLocal8Bit();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(self, self, step, p.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "\n%s failed\n", step);
        std::exit(1);
    }
    const double mib = usage.ru_maxrss / 1024.0;
    // CPU time as well: on a shared machine the wall time depends on the load.
    const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (std::strcmp(step, "generate") != 0)
        std::printf(", process CPU %.3f s, peak RSS %.1f MiB\n", cpu, mib);
    return mib;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3) {
        const QString path = QString::fromLocal8Bit(argv[2]);
        if (!std::strcmp(argv[1], "generate"))
            return generate(path);
        if (!std::strcmp(argv[1], "append"))
            return append(path);
        if (!std::strcmp(argv[1], "resume"))
            return resume(path);
        if (!std::strcmp(argv[1], "document"))
            return document(path);
    }

    int runs = 3;
    bool withDocument = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--document"))
            withDocument = true;
        else
            runs = std::max(1, std::atoi(argv[i]));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("D18A001_01012025.xml"));
    runChild(argv[0], "generate", path);
    for (int i = 0; i < runs; ++i) {
        runChild(argv[0], "append", path);
        runChild(argv[0], "resume", path);
    }
    if (withDocument)
        runChild(argv[0], "document", path);
    return 0;
}
