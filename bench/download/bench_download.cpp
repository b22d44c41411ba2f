// A 4,096-page memory download from the logger simulator over loopback with
// Nexil, against a plain request/reply loop of the same sizes: a QTcpSocket
// client asking a trivial server (this program with --serve) for 4,096
// blocks, one request in flight at a time.
//
//   bench_download [runs]

#include "nexil/protocol/nexil.h"
#include "nexil/protocol/timezone.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int pages = 4096;
// Sizes on the wire: the block request (STX, "AKT" page buffer CR, CRC, CR CR CR)
// and the reply to it (27-byte header, 516-byte payload, CRC, CR CR CR).
constexpr int requestSize = 22;
constexpr int replySize = 548;

int serve()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    std::printf("%d\n", int(server.serverPort()));
    std::fflush(stdout);
    if (!server.waitForNewConnection(30000))
        return 1;
    QTcpSocket *socket = server.nextPendingConnection();
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray reply(replySize, 'x');
    QByteArray pending;
    while (socket->state() == QAbstractSocket::ConnectedState) {
        if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(30000))
            break;
        pending += socket->readAll();
        while (pending.size() >= requestSize) {
            pending.remove(0, requestSize);
            socket->write(reply);
            socket->flush();
        }
    }
    return 0;
}

// Seconds for `pages` request/reply pairs, event driven like Nexil.
double plainLoop(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return -1;
    const QByteArray request(requestSize, 'r');
    int received = 0;
    qint64 buffered = 0;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        buffered += socket.readAll().size();
        if (buffered < replySize)
            return;
        buffered -= replySize;
        if (++received == pages)
            loop.quit();
        else
            socket.write(request);
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    socket.write(request);
    loop.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    return received == pages ? seconds : -1;
}

QString writeScenario(const QTemporaryDir &dir)
{
    QFile in(QStringLiteral(NEXIL_SOURCE_DIR "/tools/loggersim/scenarios/tqm510.json"));
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QJsonObject scenario = QJsonDocument::fromJson(in.readAll()).object();
    QJsonObject memory = scenario.value(QStringLiteral("memory")).toObject();
    QJsonObject generator = memory.value(QStringLiteral("generator")).toObject();
    // A record a minute for 60 days: more than 4,096 pages.
    generator.insert(QStringLiteral("interval"), 1);
    generator.insert(QStringLiteral("days"), 60);
    memory.insert(QStringLiteral("generator"), generator);
    scenario.insert(QStringLiteral("memory"), memory);
    const QString path = dir.filePath(QStringLiteral("scenario.json"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(scenario).toJson()) < 0)
        return QString();
    return path;
}

struct NexilRun
{
    double total = -1;  // getData to downloadCompleted
    double blocks = -1; // downloadStarted to downloadCompleted
    double decode = -1; // last page to downloadCompleted: the end marker and decoding
    int pagesDone = 0;
    int lines = 0;
};

NexilRun nexilDownload(Nexil &nexil, int firstPage)
{
    NexilRun run;
    QEventLoop loop;
    QElapsedTimer timer;
    qint64 started = 0;
    qint64 lastPage = 0;
    QList<QMetaObject::Connection> links;
    links << QObject::connect(&nexil, &Nexil::downloadStarted, [&](int) { started = timer.nsecsElapsed(); });
    links << QObject::connect(&nexil, &Nexil::downloadProgress, [&](int done, int) {
        run.pagesDone = done;
        lastPage = timer.nsecsElapsed();
    });
    links << QObject::connect(&nexil, &Nexil::dataFile, [&](const QList<DataFile> &files) {
        run.lines = files.isEmpty() ? 0 : files.first().lines.size();
    });
    links << QObject::connect(&nexil, &Nexil::downloadCompleted, [&] {
        run.total = double(timer.nsecsElapsed()) / 1e9;
        run.blocks = double(timer.nsecsElapsed() - started) / 1e9;
        run.decode = double(timer.nsecsElapsed() - lastPage) / 1e9;
        loop.quit();
    });
    links << QObject::connect(&nexil, &Nexil::error, &loop, &QEventLoop::quit);
    timer.start();
    nexil.getData(QDateTime(), firstPage, 0);
    loop.exec();
    for (const QMetaObject::Connection &link : qAsConst(links))
        QObject::disconnect(link);
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    pinLocalTimeZone(); // as the programs do
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--serve") == 0)
        return serve();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    QTemporaryDir dir;
    const QString scenario = writeScenario(dir);
    const QString ready = dir.filePath(QStringLiteral("ready"));
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(LOGGERSIM_PATH),
              {"--scenario", scenario, "--speed", "0", "--tcp", "127.0.0.1:0", "--ready-file", ready});
    QDeadlineTimer deadline(120000);
    while (!QFile::exists(ready) && !deadline.hasExpired() && sim.state() != QProcess::NotRunning)
        sim.waitForReadyRead(50);
    QFile readyFile(ready);
    if (scenario.isEmpty() || !readyFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "loggersim did not start\n");
        return 1;
    }
    const quint16 simPort = quint16(readyFile.readAll().trimmed().toUInt());

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, simPort);
    if (!socket.waitForConnected(10000))
        return 1;
    Nexil nexil;
    nexil.setConnection(&socket);
    FileInformations files;
    {
        QEventLoop loop;
        QObject::connect(&nexil, &Nexil::fileInformations, [&](const FileInformations &f) {
            files = f;
            loop.quit();
        });
        nexil.getFileInformations();
        loop.exec();
        QObject::disconnect(&nexil, &Nexil::fileInformations, nullptr, nullptr);
    }
    const int firstPage = files.lastPage - pages + (files.lastBuffer != 0 ? 1 : 0);
    if (firstPage < 0) {
        std::fprintf(stderr, "memory holds only %d pages\n", files.lastPage + 1);
        return 1;
    }

    std::vector<double> totals;
    std::vector<double> blockPhases;
    std::vector<double> decodes;
    int lines = 0;
    for (int run = 0; run < runs; ++run) {
        const NexilRun r = nexilDownload(nexil, firstPage);
        if (r.total < 0 || r.pagesDone != pages) {
            std::fprintf(stderr, "download failed after %d pages: %s\n", r.pagesDone,
                         qPrintable(nexil.lastErrorString()));
            return 1;
        }
        totals.push_back(r.total);
        blockPhases.push_back(r.blocks);
        decodes.push_back(r.decode);
        lines = r.lines;
    }
    socket.disconnectFromHost();

    std::vector<double> plain;
    for (int run = 0; run < runs; ++run) {
        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QCoreApplication::applicationFilePath(), {"--serve"});
        if (!server.waitForReadyRead(10000))
            return 1;
        const double seconds = plainLoop(quint16(server.readLine().trimmed().toUInt()));
        server.waitForFinished(10000);
        if (seconds < 0) {
            std::fprintf(stderr, "plain loop failed\n");
            return 1;
        }
        plain.push_back(seconds);
    }
    sim.terminate();
    sim.waitForFinished(5000);

    const double total = median(totals);
    const double blocks = median(blockPhases);
    const double base = median(plain);
    const QByteArray tz = qEnvironmentVariableIsSet("TZ") ? qgetenv("TZ") : QByteArray("(unset)");
    std::printf("download of %d pages (%d lines), TZ %s, median of %d runs:\n", pages, lines, tz.constData(),
                runs);
    std::printf("  Nexil + loggersim: %.3f s from getData, %.3f s from downloadStarted, of which %.3f s "
                "end marker and decoding; %.0f us/page\n",
                total, blocks, median(decodes), total / pages * 1e6);
    std::printf("  plain loop:        %.3f s, %.0f us/page\n", base, base / pages * 1e6);
    std::printf("  ratio: %.2f from getData, %.2f block phase (target < 3)\n", total / base, blocks / base);
    return total / base < 3 ? 0 : 2;
}
