// The HTTP API's costs, server and client in this one process:
//   bench_webapi stations [stations=2000] [requests=50] [changing] [alarms]   time per /api/v1/stations
//     alarms: 9 watched channels a station (rise windows of an hour), one station in 100 in alarm
//   bench_webapi csv                                       one channel of a one-year file as CSV
//   bench_webapi events [clients=200] [seconds=20]         CPU of idle event streams

#include "../support/benchfiles.h"
#include "store/databaseconnection.h"
#include "store/databaseurl.h"
#include "web/webservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The whole answer's size; -1 on a failure.
qint64 get(quint16 port, const QByteArray &path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return -1;
    socket.write("GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n");
    qint64 size = 0;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(30000))
        size += socket.readAll().size();
    return size + socket.readAll().size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1, QStringLiteral("stations"));
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("data.db"));
    DatabaseUrl::setCurrent(DatabaseUrl::sqlite(dbPath));
    DatabaseConnection db;
    if (!db.open(DatabaseUrl::current()))
        return 1;
    const int stations =
        mode == QLatin1String("stations") ? args.value(2, QStringLiteral("2000")).toInt() : 1;
    QSqlDatabase::database().transaction();
    for (int i = 0; i < stations; ++i) {
        DBStation s;
        s.title = s.name = s.code = s.file_name = QStringLiteral("B%1").arg(i, 4, 10, QLatin1Char('0'));
        s.file_path = dir.filePath(QStringLiteral("files/") + s.code);
        s.active = true;
        if (DatabaseConnection::insertStation(s) < 0)
            return 1;
    }
    if (args.contains(QStringLiteral("alarms"))) {
        QSqlQuery insert;
        insert.prepare(
            QStringLiteral("INSERT INTO channel_alarms (station_id, slot, state) VALUES (?, ?, ?)"));
        for (int i = 0; i < stations; ++i) {
            for (int slot = 0; slot < 9; ++slot) {
                QString recent;
                for (int m = 0; m < 6; ++m)
                    recent += QStringLiteral("%1[%2,%3.25]").arg(m ? "," : "").arg(29000000 + m * 10).arg(m);
                const QString up = i % 100 == 0 && slot == 2
                                       ? QStringLiteral("\"high\":{\"since\":29000050,\"value\":5.25},")
                                       : QString();
                insert.addBindValue(i + 1);
                insert.addBindValue(slot);
                insert.addBindValue(QStringLiteral("{%1\"last\":29000050,\"recent\":[%2]}").arg(up, recent));
                if (!insert.exec())
                    return 1;
            }
        }
    }
    QSqlDatabase::database().commit();
    if (mode == QLatin1String("csv")) {
        QDir().mkpath(dir.filePath(QStringLiteral("files/B0000")));
        if (benchfiles::writeYear(dir.filePath(QStringLiteral("files/B0000/B0000_20230101.xml"))) != 0)
            return 1;
    }

    WebService service;
    WebService::Settings settings;
    settings.address = QStringLiteral("127.0.0.1:0");
    QString problem;
    if (!service.start(settings, &problem)) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    const quint16 port = service.port();
    const long peakBefore = benchfiles::peakKb();

    if (mode == QLatin1String("stations")) {
        const int requests = args.value(3, QStringLiteral("50")).toInt();
        std::vector<double> ms;
        double cpuMs = 0;
        qint64 size = 0;
        get(port, "/api/v1/stations"); // the first fills the caches
        // "changing": a status is stored before each request, so the list is
        // read from the store every time (as while collecting).
        const bool changing = args.value(4) == QLatin1String("changing");
        for (int i = 0; i < requests; ++i) {
            if (changing)
                QSqlQuery().exec(
                    QStringLiteral("UPDATE stations SET status = 'status %1' WHERE id = 1").arg(i));
            QElapsedTimer t;
            t.start();
            const double cpuBefore = cpuSeconds();
            size = get(port, "/api/v1/stations");
            ms.push_back(t.nsecsElapsed() / 1e6);
            cpuMs += (cpuSeconds() - cpuBefore) * 1000;
        }
        std::sort(ms.begin(), ms.end());
        std::printf(
            "stations %d%s: %lld bytes, median %.1f ms, max %.1f ms per request, %.1f ms CPU on average\n",
            stations, changing ? " (changing)" : "", static_cast<long long>(size), ms.at(ms.size() / 2),
            ms.back(), cpuMs / requests);
    } else if (mode == QLatin1String("csv")) {
        QElapsedTimer t;
        t.start();
        const double cpuBefore = cpuSeconds();
        const qint64 size = get(port, "/api/v1/stations/B0000/data?format=csv&channels=3");
        // On a shared machine the CPU time tells more than the wall clock.
        std::printf("one channel of a year as CSV: %.1f MB in %.3f s (%.3f s CPU); peak memory %.1f MB "
                    "(%.1f MB before)\n",
                    size / 1048576.0, t.nsecsElapsed() / 1e9, cpuSeconds() - cpuBefore,
                    benchfiles::peakKb() / 1024.0, peakBefore / 1024.0);
    } else {
        const int clients = args.value(2, QStringLiteral("200")).toInt();
        const double seconds = args.value(3, QStringLiteral("20")).toDouble();
        // Plain sockets that only wait: what is measured is the server's cost.
        std::vector<int> streams;
        for (int i = 0; i < clients; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0)
                return 1;
            const char request[] = "GET /api/v1/events HTTP/1.0\r\nHost: localhost\r\n\r\n";
            if (::write(fd, request, sizeof request - 1) < 0)
                return 1;
            streams.push_back(fd);
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const double before = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        std::this_thread::sleep_for(std::chrono::milliseconds(qint64(seconds * 1000)));
        const double used = cpuSeconds() - before;
        for (const int fd : streams)
            ::close(fd);
        std::printf("%d idle event streams: %.3f s CPU in %.1f s = %.2f %% of a core\n", clients, used,
                    wall.elapsed() / 1000.0, 100.0 * used / (wall.elapsed() / 1000.0));
    }
    service.stop();
    return 0;
}
