// The chart viewer on a year of values (9 channels every 10 minutes with
// their daily summaries): opening the chart of one and of three channels,
// zooming in twice and out, in the program; then `tqm510 --chart ... --png`
// from outside, program start included. Every step runs in a fresh process
// so its peak memory is its own.
//
//   bench_chartviewer [runs]

#include "ui/dialoggraphic.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int channelCount = 9;

int generate(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QXmlStreamWriter x(&file);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("device"));
    x.writeStartElement(QStringLiteral("header"));
    x.writeTextElement(QStringLiteral("device_type"), QStringLiteral("2"));
    x.writeTextElement(QStringLiteral("device_type_name"), QStringLiteral("TQM510"));
    x.writeTextElement(QStringLiteral("device_type_description"),
                       QStringLiteral("Hidrometeorolojik istasyon"));
    x.writeTextElement(QStringLiteral("last_connection_time"), QStringLiteral("2026-01-01 00:05"));
    x.writeTextElement(QStringLiteral("supply_voltage"), QStringLiteral("12.60"));
    x.writeStartElement(QStringLiteral("station"));
    x.writeTextElement(QStringLiteral("code"), QStringLiteral("D18A001"));
    x.writeTextElement(QStringLiteral("name"), QStringLiteral("Köprübaşı"));
    x.writeTextElement(QStringLiteral("region"), QStringLiteral("18"));
    x.writeTextElement(QStringLiteral("basin"), QStringLiteral("7"));
    x.writeTextElement(QStringLiteral("no"), QStringLiteral("1"));
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("setup"));
    x.writeTextElement(QStringLiteral("timestamp"), QStringLiteral("2025-01-01 00:00"));
    x.writeTextElement(QStringLiteral("start_of_day"), QStringLiteral("8"));
    x.writeStartElement(QStringLiteral("memory"));
    x.writeTextElement(QStringLiteral("page"), QStringLiteral("4000"));
    x.writeTextElement(QStringLiteral("buffer"), QStringLiteral("12"));
    x.writeEndElement();
    x.writeTextElement(QStringLiteral("channel_count"), QString::number(channelCount));
    x.writeStartElement(QStringLiteral("channels"));
    for (int c = 0; c < channelCount; ++c) {
        x.writeStartElement(QStringLiteral("channel"));
        x.writeAttribute(QStringLiteral("id"), QString::number(c));
        x.writeAttribute(QStringLiteral("code"), QStringLiteral("AH"));
        x.writeTextElement(QStringLiteral("name"), QStringLiteral("Kanal %1").arg(c + 1));
        x.writeTextElement(QStringLiteral("unit"), QStringLiteral("m"));
        x.writeTextElement(QStringLiteral("interval"), QStringLiteral("10"));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndElement();
    x.writeEmptyElement(QStringLiteral("alarms"));
    x.writeStartElement(QStringLiteral("data"));
    auto line = [&](int channel, const char *type, const QDateTime &t, double value) {
        x.writeEmptyElement(QStringLiteral("line"));
        x.writeAttribute(QStringLiteral("channel"), QString::number(channel));
        x.writeAttribute(QStringLiteral("dataType"), QLatin1String(type));
        x.writeAttribute(QStringLiteral("date"), t.toString(QStringLiteral("yyyy-MM-dd")));
        x.writeAttribute(QStringLiteral("time"), t.toString(QStringLiteral("hh:mm")));
        x.writeAttribute(QStringLiteral("setTime"), QStringLiteral("false"));
        x.writeAttribute(QStringLiteral("value"), QString::number(value, 'f', 4));
    };
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    int lines = 0;
    for (int day = 0; day < 365; ++day) {
        double minimum[channelCount], maximum[channelCount];
        std::fill(minimum, minimum + channelCount, 1e9);
        std::fill(maximum, maximum + channelCount, -1e9);
        for (int slot = 0; slot < 144; ++slot) {
            const int n = day * 144 + slot;
            const QDateTime t = start.addSecs(n * 600);
            for (int c = 0; c < channelCount; ++c) {
                double v = 10 * (c + 1) + 5 * std::sin(n / 144.0 * 6.283 + c) + 2 * std::sin(n / 7000.0);
                if ((n + c * 977) % 5000 == 0)
                    v = -9999;
                else {
                    minimum[c] = std::min(minimum[c], v);
                    maximum[c] = std::max(maximum[c], v);
                }
                line(c, "INS", t, v);
                ++lines;
            }
        }
        const QDateTime end = start.addDays(day + 1);
        for (int c = 0; c < channelCount; ++c) {
            line(c, "MAX", end.addSecs(-3600 * 5), maximum[c]);
            line(c, "MIN", end.addSecs(-3600 * 17), minimum[c]);
            line(c, "AVG", end, (minimum[c] + maximum[c]) / 2);
            line(c, "TOT", end, 0);
            lines += 4;
        }
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    std::printf("year file: %d lines, %.1f MB\n", lines, QFileInfo(path).size() / 1e6);
    return file.error() == QFileDevice::NoError ? 0 : 1;
}

// Wall and CPU time since the last call: on a shared machine the wall time
// depends on the load, the CPU time much less.
struct Step
{
    double wall;
    double cpu;
};

double processCpu()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

Step step(QElapsedTimer &timer, double &cpu)
{
    const Step s{timer.nsecsElapsed() / 1e9, processCpu() - cpu};
    timer.restart();
    cpu = processCpu();
    return s;
}

// Opens the viewer as the main window does, shows the chart of the channels
// at 1600x900 and zooms; every step ends with the window painted.
int open(int argc, char **argv, const QString &path, int channels)
{
    QApplication app(argc, argv);
    QElapsedTimer timer;
    timer.start();
    double cpu = processCpu();
    DialogGraphic dialog(path);
    dialog.resize(1600, 900);
    dialog.show();
    QVector<int> ids;
    for (int i = 0; i < channels; ++i)
        ids.append(i * 4);
    dialog.selectChannels(ids);
    const Step load = step(timer, cpu);
    dialog.findChild<QPushButton *>(QStringLiteral("btnNext"))->click();
    dialog.grab();
    const Step chart = step(timer, cpu);
    Step zoom[3];
    const char *buttons[] = {"btnZoomIn", "btnZoomIn", "btnZoomOut"};
    for (int i = 0; i < 3; ++i) {
        dialog.findChild<QPushButton *>(QLatin1String(buttons[i]))->click();
        dialog.grab();
        zoom[i] = step(timer, cpu);
    }
    std::printf("%d channel%s: open %.3f s (CPU %.3f; file %.3f + chart %.3f), zoom in %.3f (CPU %.3f), "
                "in %.3f (%.3f), out %.3f (%.3f) s",
                channels, channels > 1 ? "s" : "", load.wall + chart.wall, load.cpu + chart.cpu, load.wall,
                chart.wall, zoom[0].wall, zoom[0].cpu, zoom[1].wall, zoom[1].cpu, zoom[2].wall, zoom[2].cpu);
    return 0;
}

struct Child
{
    double wall;
    double cpu;
    double mib;
};

Child run(const QList<QByteArray> &arguments)
{
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv;
        for (const QByteArray &a : arguments)
            argv.push_back(const_cast<char *>(a.constData()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "\n%s %s failed\n", arguments.value(0).constData(),
                     arguments.value(1).constData());
        std::exit(1);
    }
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {timer.nsecsElapsed() / 1e9, cpu, usage.ru_maxrss / 1024.0};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && !std::strcmp(argv[1], "open"))
        return open(argc, argv, QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (argc == 3 && !std::strcmp(argv[1], "generate"))
        return generate(QString::fromLocal8Bit(argv[2]));

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("D18A001_01012025.xml")).toLocal8Bit();
    const QByteArray png = dir.filePath(QStringLiteral("chart.png")).toLocal8Bit();
    run({argv[0], "generate", path});
    for (int i = 0; i < runs; ++i) {
        for (const char *channels : {"1", "3"}) {
            const Child c = run({argv[0], "open", path, channels});
            std::printf(", peak RSS %.1f MiB\n", c.mib);
        }
    }
    for (int i = 0; i < runs; ++i) {
        for (const char *channels : {"0", "0,4,8"}) {
            const Child c = run({TQM510_PATH, "--chart", path, "--channels", channels, "--png", png});
            std::printf("tqm510 --chart YEAR.xml --channels %s --png out.png: %.3f s (CPU %.3f s), peak RSS "
                        "%.1f MiB\n",
                        channels, c.wall, c.cpu, c.mib);
        }
    }
    return 0;
}
