// Two headless collectors share one PostgreSQL station list of many
// stations (2,000 by default). The stations are simulated dataloggers, all
// in this process, each on its own loopback port; the server runs in a
// temporary folder. Reports the time of one round (both collectors with
// --once, started together), each collector's peak memory, how the stations
// were split, and the lease traffic per minute of two collectors that keep
// running (rows of station_leases written, transactions of the database).
//
//   bench_sharedstore [stations] [seconds of lease traffic]

#include "device.h"
#include "scenario.h"
#include "session.h"
#include "store/databaseconnection.h"
#include "support/benchfiles.h"
#include "support/postgresserver.h"
#include "transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace loggersim;

namespace {

struct Station
{
    std::unique_ptr<Device> device;
    std::unique_ptr<Session> session;
    std::unique_ptr<TcpTransport> transport;
};

// Runs until every process has ended, sampling their peak memory.
void waitAll(const QList<QProcess *> &processes, QVector<long> *peaks)
{
    peaks->fill(0, processes.size());
    QEventLoop loop;
    QTimer sample;
    sample.setInterval(100);
    QObject::connect(&sample, &QTimer::timeout, [&] {
        bool running = false;
        for (int i = 0; i < processes.size(); ++i) {
            if (processes.at(i)->state() == QProcess::NotRunning)
                continue;
            running = true;
            (*peaks)[i] = qMax((*peaks)[i], benchfiles::peakKb(processes.at(i)->processId()));
        }
        if (!running)
            loop.quit();
    });
    sample.start();
    loop.exec();
}

qint64 counter(const QString &statement)
{
    QSqlQuery q;
    return q.exec(statement) && q.next() ? q.value(0).toLongLong() : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int trafficSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const QString tqm510 = QCoreApplication::applicationDirPath() + QStringLiteral("/tqm510");

    // Every station is a listening socket here, and a connection in a
    // collector while it is visited.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    PostgresServer server;
    if (!PostgresServer::available() || !server.start()) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(server.error()));
        return 1;
    }
    std::vector<Station> stations(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Scenario scenario = defaultScenario(QStringLiteral("TQM510"));
        scenario.generator.enabled = true;
        scenario.stationCode = QStringLiteral("B%1").arg(i, 4, 10, QChar('0'));
        Station &s = stations[size_t(i)];
        s.device = std::make_unique<Device>(scenario, 0.0);
        s.session = std::make_unique<Session>(s.device.get(), FaultOptions());
        s.transport = std::make_unique<TcpTransport>();
        QString error;
        if (!s.transport->listen(QHostAddress::LocalHost, 0, &error)) {
            std::fprintf(stderr, "station %d: %s\n", i, qPrintable(error));
            return 1;
        }
        QObject::connect(s.transport.get(), &Transport::received, s.session.get(), &Session::receive);
        QObject::connect(s.transport.get(), &Transport::connected, s.session.get(), &Session::reset);
        QObject::connect(s.transport.get(), &Transport::disconnected, s.session.get(), &Session::reset);
        QObject::connect(s.session.get(), &Session::send, s.transport.get(), &Transport::write);
        QObject::connect(s.session.get(), &Session::hangUp, s.transport.get(), &Transport::hangUp);
    }

    QTemporaryDir work;
    {
        DatabaseUrl url;
        QString error;
        DatabaseUrl::parse(server.url(), &url, &error);
        DatabaseConnection db;
        if (!db.open(url)) {
            std::fprintf(stderr, "%s\n", qPrintable(DatabaseConnection::lastOpenError()));
            return 1;
        }
        for (int i = 0; i < count; ++i) {
            DBStation s;
            s.title = s.name = s.code = QStringLiteral("B%1").arg(i, 4, 10, QChar('0'));
            s.ip = QStringLiteral("127.0.0.1");
            s.port = stations[size_t(i)].transport->port();
            s.active = true;
            s.file_path = work.filePath(QStringLiteral("files/") + s.code);
            s.file_name = s.code;
            s.export_excel = false;
            s.export_text = false;
            DatabaseConnection::insertStation(s);
        }
    }

    auto start = [&](const QString &id, const QStringList &extra) {
        auto *p = new QProcess(&app);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setStandardOutputFile(work.filePath(id + QStringLiteral(".out")));
        p->start(tqm510, QStringList{QStringLiteral("--workdir"), work.filePath(id), QStringLiteral("--database"),
                                     server.url(), QStringLiteral("--headless"), QStringLiteral("--collector-id"), id} +
                             extra);
        return p;
    };

    // One round: both with --once, started together.
    QElapsedTimer round;
    round.start();
    QList<QProcess *> once{start(QStringLiteral("a"), {QStringLiteral("--once")}),
                           start(QStringLiteral("b"), {QStringLiteral("--once")})};
    QVector<long> peaks;
    waitAll(once, &peaks);
    const double roundSeconds = round.elapsed() / 1000.0;
    int visited[2] = {0, 0};
    for (int c = 0; c < 2; ++c) {
        QFile out(work.filePath(c == 0 ? QStringLiteral("a.out") : QStringLiteral("b.out")));
        out.open(QIODevice::ReadOnly);
        QSet<QByteArray> codes;
        for (const QByteArray &line : out.readAll().split('\n'))
            if (line.endsWith("\tDownload completed."))
                codes.insert(line.split('\t').value(2));
        visited[c] = codes.size();
    }
    std::printf("%d stations, one round with --once: %.1f s; collector a visited %d (exit %d, peak %ld MB), "
                "b %d (exit %d, peak %ld MB)\n",
                count, roundSeconds, visited[0], once.at(0)->exitCode(), peaks.at(0) / 1024, visited[1],
                once.at(1)->exitCode(), peaks.at(1) / 1024);

    // Lease traffic: two collectors that keep running, measured after they settled.
    QList<QProcess *> running{start(QStringLiteral("c"), {}), start(QStringLiteral("d"), {})};
    QEventLoop settle;
    // Two renewals each: the first one's surplus is taken by the other's second.
    QTimer::singleShot(70000, &settle, &QEventLoop::quit);
    settle.exec();
    const QString leaseRows = QStringLiteral("SELECT n_tup_ins + n_tup_upd + n_tup_del FROM pg_stat_user_tables "
                                             "WHERE relname = 'station_leases'");
    const QString transactions =
        QStringLiteral("SELECT xact_commit FROM pg_stat_database WHERE datname = current_database()");
    // The statistics collector reports with a delay of its own.
    QSqlQuery(QStringLiteral("SELECT pg_stat_clear_snapshot()"));
    const qint64 rows0 = counter(leaseRows), xacts0 = counter(transactions);
    QEventLoop measure;
    QTimer::singleShot(trafficSeconds * 1000, &measure, &QEventLoop::quit);
    measure.exec();
    QSqlQuery(QStringLiteral("SELECT pg_stat_clear_snapshot()"));
    const qint64 rows1 = counter(leaseRows), xacts1 = counter(transactions);
    const QMap<QString, int> split = [] {
        QMap<QString, int> out;
        QSqlQuery q(QStringLiteral("SELECT holder, count(*) FROM station_leases GROUP BY holder"));
        while (q.next())
            out.insert(q.value(0).toString(), q.value(1).toInt());
        return out;
    }();
    std::printf("two running collectors hold %d and %d stations; per minute: %.0f station_leases rows written, "
                "%.0f transactions in the database (statuses included)\n",
                split.value(QStringLiteral("c")), split.value(QStringLiteral("d")),
                (rows1 - rows0) * 60.0 / trafficSeconds, (xacts1 - xacts0) * 60.0 / trafficSeconds);
    const long peakC = benchfiles::peakKb(running.at(0)->processId()), peakD = benchfiles::peakKb(running.at(1)->processId());
    std::printf("running collectors' peak memory: %ld MB and %ld MB\n", peakC / 1024, peakD / 1024);
    for (QProcess *p : qAsConst(running))
        ::kill(pid_t(p->processId()), SIGTERM);
    QVector<long> ended;
    waitAll(running, &ended);
    DatabaseConnection::close();
    return 0;
}
