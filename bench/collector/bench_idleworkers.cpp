// CPU used by idle collection workers: N stations whose workers run their
// loops with nothing to do.
//   bench_idleworkers [seconds=30] [workers=200]

#include "collection/workercontroller.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const double seconds = args.size() > 1 ? args.at(1).toDouble() : 30.0;
    const int workers = args.size() > 2 ? args.at(2).toInt() : 200;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    DatabaseConnection db;
    if (!db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()))
        return 1;
    for (int i = 0; i < workers; ++i) {
        DBStation s;
        s.title = s.name = s.code = QStringLiteral("S%1").arg(i);
        s.active = false; // never due: the workers only wait
        if (DatabaseConnection::insertStation(s) < 0)
            return 1;
    }

    int code = 0;
    {
        StationTableModel model;
        WorkerController controller(&model);
        controller.startCollecting();
        // Let every thread reach its wait before measuring.
        QTimer::singleShot(1000, &app, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();

        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &app, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        const double cpu = cpuSeconds() - cpuBefore;
        const double elapsed = double(wall.elapsed()) / 1000.0;
        std::printf("idle workers: %d, wall %.1f s, cpu %.3f s, %.3f%% of one core\n",
                    controller.threadCount(), elapsed, cpu, 100.0 * cpu / elapsed);
        QElapsedTimer stopping;
        stopping.start();
        if (!controller.stopCollecting())
            code = 1;
        std::printf("stopping %d workers and waiting for their threads: %lld ms\n", workers,
                    stopping.elapsed());
    }
    DatabaseConnection::close();
    return code;
}
