// One headless collection round ("tqm510 --headless --once") over N stations,
// all played by one simulator process (loggersim --count N) holding D days of
// 9-channel data each: wall time of the round, the collector's peak memory
// and, with a metrics file, the largest lag of its main loop.
//   bench_collectionround [stations=50] [days=1] [excel] [slots=K] [again] [year] [checks]
// slots=K sets maxVisitsInFlight (0: no limit). again: a third round a few
// seconds later, the loggers' memory having grown meanwhile, is the one
// measured, with the collector's CPU time; year: before the second, every data file
// is given a year of 9-channel values every 10 minutes, so that the two
// runs show what a visit costs with a year-long file. checks: every channel of
// every station has all quality tests and a high and a rise alarm, so that two
// runs show what checking the values adds to a round. TQM510_WRAPPER runs the
// collector under a tool, e.g.
//   TQM510_WRAPPER="valgrind --tool=callgrind --callgrind-out-file=/tmp/cg.%p" bench_collectionround 100

#include "store/databaseconnection.h"
#include "store/stationsettings.h"
#include "support/benchfiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <sys/resource.h>

namespace {

QByteArray scenario(const QString &code, double days)
{
    const char *const channels =
        R"([{"state":1,"name":"Level","code":49,"unit":"cm","interval":15},
            {"state":1,"name":"Rain","code":43,"unit":"mm","interval":15},
            {"state":1,"name":"AirTemp","code":35,"unit":"C","interval":15},
            {"state":1,"name":"WTemp","code":51,"unit":"C","interval":15},
            {"state":1,"name":"Humidity","code":33,"unit":"%","interval":15},
            {"state":1,"name":"Pressure","code":34,"unit":"mbar","interval":15},
            {"state":1,"name":"WindSpd","code":54,"unit":"m/s","interval":15},
            {"state":1,"name":"WindDir","code":53,"unit":"degree","interval":15},
            {"state":1,"name":"Battery","code":56,"unit":"V","interval":15}])";
    // Put together piece by piece: the code's own "%1" is for the simulator.
    return QByteArray(R"({"station": {"code": ")") + code.toUtf8() + R"("}, "channels": )" + channels +
           R"(, "memory": {"generator": {"enabled": true, "days": )" + QByteArray::number(days) +
           R"(, "interval": 15}}})";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 50;
    const double days = args.size() > 2 ? args.at(2).toDouble() : 1.0;
    bool excel = false;
    bool again = false;
    bool year = false;
    bool checks = false;
    int limit = -1;
    for (int i = 3; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("excel"))
            excel = true;
        else if (args.at(i) == QLatin1String("again"))
            again = true;
        else if (args.at(i) == QLatin1String("year"))
            again = year = true;
        else if (args.at(i) == QLatin1String("checks"))
            checks = true;
        else if (args.at(i).startsWith(QLatin1String("slots=")))
            limit = args.at(i).mid(6).toInt();
    }

    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    QDir().mkpath(dir.filePath(QStringLiteral("data")));
    if (limit >= 0) {
        QFile ini(dir.filePath(QStringLiteral("bin/settings.ini")));
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write(QStringLiteral("[SETTINGS]\nmaxVisitsInFlight=%1\n").arg(limit).toUtf8()) < 0)
            return 1;
    }
    DatabaseConnection db;
    if (!db.connectToDatabase(dir.filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                              QString()))
        return 1;

    // One process plays every logger: N simulator processes would measure
    // the simulators, not the collector.
    const QString base = dir.filePath(QStringLiteral("sim"));
    QFile json(base + QStringLiteral(".json"));
    if (!json.open(QIODevice::WriteOnly) || json.write(scenario(QStringLiteral("B%1"), days)) < 0)
        return 1;
    json.close();
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QStringLiteral(LOGGERSIM_PATH),
                    {QStringLiteral("--scenario"), json.fileName(), QStringLiteral("--tcp"),
                     QStringLiteral("127.0.0.1:0"), QStringLiteral("--count"), QString::number(count),
                     QStringLiteral("--ready-file"), base + QStringLiteral(".ready"),
                     QStringLiteral("--speed"), again ? QStringLiteral("900") : QStringLiteral("0")});
    QDeadlineTimer deadline(600000);
    while (!QFile::exists(base + QStringLiteral(".ready")) && !deadline.hasExpired() &&
           simulator.state() != QProcess::NotRunning)
        simulator.waitForReadyRead(50);
    QFile ready(base + QStringLiteral(".ready"));
    if (!ready.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const QList<QByteArray> ports = ready.readAll().trimmed().split('\n');
    if (ports.size() != count) {
        std::fprintf(stderr, "the simulator listens on %d ports, not %d\n", int(ports.size()), count);
        return 1;
    }
    QList<DBStation> stations;
    for (int i = 0; i < count; ++i) {
        const QString code = QStringLiteral("B%1").arg(i);
        DBStation s;
        s.title = s.name = s.code = code;
        s.ip = QStringLiteral("127.0.0.1");
        s.port = ports.at(i).trimmed().toInt();
        s.active = true;
        s.file_path = dir.filePath(QStringLiteral("files/") + code);
        s.file_name = code;
        s.export_excel = excel;
        const int id = DatabaseConnection::insertStation(s);
        if (id < 0)
            return 1;
        for (int slot = 0; checks && slot < 9; ++slot) {
            QString why;
            if (!StationSettings::setValue(id, QStringLiteral("quality:%1").arg(slot),
                                           QStringLiteral("gross=-1000,10000;user=-500,5000;spike=50,100;"
                                                          "roc=3,1h;flat=0.001,2h,6h"),
                                           &why) ||
                !StationSettings::setValue(id, QStringLiteral("alarms:%1").arg(slot),
                                           QStringLiteral("high=400,350;rise=50,1h"), &why)) {
                std::fprintf(stderr, "%s\n", qPrintable(why));
                return 1;
            }
        }
    }
    DatabaseConnection::close();

    const QString metrics = dir.filePath(QStringLiteral("metrics.prom"));
    QStringList command = QProcess::splitCommand(qEnvironmentVariable("TQM510_WRAPPER"));
    command << QStringLiteral(TQM510_PATH) << QStringLiteral("--headless") << QStringLiteral("--once")
            << QStringLiteral("--metrics-file") << metrics;
    if (again) {
        QProcess first;
        first.setWorkingDirectory(dir.filePath(QStringLiteral("bin")));
        first.setStandardOutputFile(QProcess::nullDevice());
        first.start(command.first(), command.mid(1));
        if (!first.waitForFinished(600000) || first.exitCode() != 0) {
            std::fprintf(stderr, "the first round failed\n");
            return 1;
        }
        if (year && !benchfiles::prependYear(dir.filePath(QStringLiteral("files"))))
            return 1;
        // The first visit after the files grew behind the collector's back
        // recounts them once; what is measured is a visit like any later one.
        // Without the year the same rounds run, so that each logger holds as
        // many new records either way.
        {
            QThread::sleep(2);
            first.start(command.first(), command.mid(1));
            if (!first.waitForFinished(600000) || first.exitCode() != 0) {
                std::fprintf(stderr, "the second round failed\n");
                return 1;
            }
        }
        // A few records more in every logger's memory.
        QThread::sleep(5);
    }
    struct rusage before;
    getrusage(RUSAGE_CHILDREN, &before);
    QProcess collector;
    collector.setWorkingDirectory(dir.filePath(QStringLiteral("bin")));
    collector.setStandardOutputFile(dir.filePath(QStringLiteral("collector.log")));
    collector.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer wall;
    wall.start();
    collector.start(command.takeFirst(), command);
    long peakKb = 0;
    while (!collector.waitForFinished(100))
        peakKb = qMax(peakKb, benchfiles::peakKb(collector.processId()));
    const bool finished = collector.exitStatus() == QProcess::NormalExit;
    const double seconds = double(wall.elapsed()) / 1000.0;
    struct rusage after;
    getrusage(RUSAGE_CHILDREN, &after);
    auto cpu = [](const struct rusage &u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    // The metrics file's own figure: the last minute's largest lag.
    double lag = -1;
    QFile prom(metrics);
    if (prom.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : prom.readAll().split('\n'))
            if (line.startsWith("tqm510_main_loop_lag_seconds "))
                lag = line.mid(int(qstrlen("tqm510_main_loop_lag_seconds "))).toDouble();
    }

    int files = 0;
    qint64 bytes = 0;
    const QFileInfoList stationDirs =
        QDir(dir.filePath(QStringLiteral("files"))).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &d : stationDirs) {
        for (const QFileInfo &f : QDir(d.filePath()).entryInfoList({QStringLiteral("*.xml")}, QDir::Files)) {
            ++files;
            bytes += f.size();
        }
    }
    std::printf(
        "collection round: %d stations x %.1f days of 9 channels%s, slots %s, exit %d, wall %.2f s "
        "(%.1f ms a station), collector CPU %.2f s, peak RSS %.1f MiB, main loop lag %.3f s, %d data files, "
        "%.1f MiB of XML%s%s\n",
        count, days, excel ? " with Excel" : "", limit < 0 ? "default" : qPrintable(QString::number(limit)),
        finished ? collector.exitCode() : -1, seconds, 1000.0 * seconds / qMax(1, count),
        cpu(after) - cpu(before), double(peakKb) / 1024.0, lag, files, double(bytes) / (1024.0 * 1024.0),
        year    ? " (second round, year-long files)"
        : again ? " (second round)"
                : "",
        checks ? ", every value checked" : "");
    simulator.terminate();
    simulator.waitForFinished(10000);
    return finished && collector.exitCode() == 0 && files == count ? 0 : 1;
}
