// One headless collection round ("tqm510 --headless --once") over N stations,
// each served by its own simulator holding D days of 9-channel data: wall
// time of the round and the collector's peak memory.
//   bench_collectionround [stations=50] [days=1] [excel]

#include "store/databaseconnection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

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
    return QStringLiteral(R"({"station": {"code": "%1"}, "channels": %2,
        "memory": {"generator": {"enabled": true, "days": %3, "interval": 15}}})")
        .arg(code, QString::fromLatin1(channels))
        .arg(days)
        .toUtf8();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args.at(1).toInt() : 50;
    const double days = args.size() > 2 ? args.at(2).toDouble() : 1.0;
    const bool excel = args.size() > 3 && args.at(3) == QLatin1String("excel");

    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    QDir().mkpath(dir.filePath(QStringLiteral("data")));
    DatabaseConnection db;
    if (!db.connectToDatabase(dir.filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                              QString()))
        return 1;

    std::vector<std::unique_ptr<QProcess>> simulators;
    for (int i = 0; i < count; ++i) {
        const QString code = QStringLiteral("B%1").arg(i, 3, 10, QLatin1Char('0'));
        const QString base = dir.filePath(code);
        QFile json(base + QStringLiteral(".json"));
        if (!json.open(QIODevice::WriteOnly) || json.write(scenario(code, days)) < 0)
            return 1;
        json.close();
        auto sim = std::make_unique<QProcess>();
        sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim->start(QStringLiteral(LOGGERSIM_PATH),
                   {QStringLiteral("--scenario"), json.fileName(), QStringLiteral("--tcp"),
                    QStringLiteral("127.0.0.1:0"), QStringLiteral("--ready-file"),
                    base + QStringLiteral(".ready"), QStringLiteral("--speed"), QStringLiteral("0")});
        QDeadlineTimer deadline(20000);
        while (!QFile::exists(base + QStringLiteral(".ready")) && !deadline.hasExpired())
            sim->waitForReadyRead(20);
        QFile ready(base + QStringLiteral(".ready"));
        if (!ready.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "simulator %d did not start\n", i);
            return 1;
        }
        DBStation s;
        s.title = s.name = s.code = code;
        s.ip = QStringLiteral("127.0.0.1");
        s.port = ready.readAll().trimmed().toInt();
        s.active = true;
        s.file_path = dir.filePath(QStringLiteral("files/") + code);
        s.file_name = code;
        s.export_excel = excel;
        if (DatabaseConnection::insertStation(s) < 0)
            return 1;
        simulators.push_back(std::move(sim));
    }
    DatabaseConnection::close();

    QProcess collector;
    collector.setWorkingDirectory(dir.filePath(QStringLiteral("bin")));
    collector.setStandardOutputFile(dir.filePath(QStringLiteral("collector.log")));
    QElapsedTimer wall;
    wall.start();
    collector.start(QStringLiteral(TQM510_PATH), {QStringLiteral("--headless"), QStringLiteral("--once")});
    const bool finished = collector.waitForFinished(30 * 60 * 1000);
    const double seconds = double(wall.elapsed()) / 1000.0;
    // Only the collector has ended so far: the children's peak is its own.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);

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
    std::printf("collection round: %d stations x %.1f days of 9 channels%s, exit %d, wall %.2f s, "
                "peak RSS %.1f MiB, %d data files, %.1f MiB of XML\n",
                count, days, excel ? " with Excel" : "", finished ? collector.exitCode() : -1, seconds,
                double(usage.ru_maxrss) / 1024.0, files, double(bytes) / (1024.0 * 1024.0));
    for (auto &sim : simulators) {
        sim->terminate();
        sim->waitForFinished(3000);
    }
    return finished && collector.exitCode() == 0 && files == count ? 0 : 1;
}
