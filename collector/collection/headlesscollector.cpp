#include "headlesscollector.h"

#include "completenessbook.h"
#include "leasekeeper.h"
#include "linetext.h"
#include "metricsfile.h"
#include "stationmonitor.h"
#include "statusreport.h"
#include "store/collectorheartbeats.h"
#include "store/databaseconnection.h"
#include "store/pathpart.h"
#include "store/stationleases.h"
#include "store/stationrules.h"
#include "store/stationsettings.h"
#include "store/stationtablemodel.h"
#include "store/workfolder.h"
#include "visitstore.h"
#include "workercontroller.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QSocketNotifier>
#include <QSqlQuery>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Self-pipe: the handler may only write(); the notifier turns the byte into
// an event on the main thread.
int signalPipe[2] = {-1, -1};

void onUnixSignal(int)
{
    const char byte = 1;
    const ssize_t written = ::write(signalPipe[0], &byte, 1);
    (void)written;
}

// Shutdown, waiting for the workers and storing their last statuses
// included, stays within what a service manager allows for a stop.
constexpr int stopTimeoutMs = 1500;
// Alert mails still on their way at the end get this long, then they are
// given up (pending in the store): the whole stop stays within 5 s.
constexpr int mailTimeoutMs = 2000;
// Recounting a station's files takes about a second per year of values; a
// service's stop waits a moment only, to stay within its 5 s.
constexpr int recountWaitOnceMs = 120000;
constexpr int recountWaitMs = 1000;

} // namespace

HeadlessCollector::HeadlessCollector(QTextStream &out, QTextStream &err, QObject *parent)
    : QObject(parent), out(out), err(err)
{
}

HeadlessCollector::~HeadlessCollector()
{
    if (signalNotifier) {
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        delete signalNotifier;
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

bool HeadlessCollector::installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    ::fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
    signalNotifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(signalNotifier, &QSocketNotifier::activated, this, &HeadlessCollector::onStopSignal);

    struct sigaction action = {};
    action.sa_handler = onUnixSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

bool HeadlessCollector::openDatabase()
{
    const WorkFolder &folder = WorkFolder::current();
    if (!QDir(folder.dataDir()).exists() && !QDir().mkpath(folder.dataDir())) {
        err << "Could not create the data directory " << folder.dataDir() << "." << Qt::endl;
        return false;
    }
    const DatabaseUrl url = DatabaseUrl::current().isValid() ? DatabaseUrl::current()
                                                             : DatabaseUrl::sqlite(folder.databaseFile());
    DatabaseConnection database;
    if (!database.open(url)) {
        err << "Could not connect to database: " << DatabaseConnection::lastOpenError() << Qt::endl;
        DatabaseConnection::close();
        return false;
    }
    return true;
}

int HeadlessCollector::addStations(const QStringList &texts)
{
    QList<DBStation> stations;
    for (const QString &text : texts) {
        const QStringList f = text.split(QLatin1Char(','));
        bool portOk = false;
        const int port = f.value(2).trimmed().toInt(&portOk);
        if (f.size() < 3 || f.size() > 5 || !portOk) {
            err << "Bad station \"" << LineText::oneLine(text)
                << "\": expected CODE,HOST,PORT[,DIRECTORY[,DEVICE-TYPE]]." << Qt::endl;
            return 1;
        }
        DBStation s;
        s.code = f.at(0).trimmed();
        s.ip = f.at(1).trimmed();
        s.port = port;
        // The same rules as the station editor's; the code names the
        // station's folder and files.
        for (const QString &problem : {StationRules::codeProblem(s.code), StationRules::hostProblem(s.ip),
                                       StationRules::portProblem(s.port)}) {
            if (!problem.isEmpty()) {
                err << "Bad station \"" << LineText::oneLine(text) << "\": " << LineText::oneLine(problem)
                    << Qt::endl;
                return 1;
            }
        }
        s.title = s.code;
        s.name = s.code;
        s.active = true;
        s.file_name = s.code;
        const QString folder = f.value(3).trimmed();
        s.file_path =
            !folder.isEmpty() ? folder : WorkFolder::current().filesDir() + QLatin1Char('/') + s.code;
        // Without a type the first visit records the one the device reports.
        s.device_type = f.value(4).trimmed();
        if (!s.device_type.isEmpty() && !PathPart::isSafe(s.device_type)) {
            err << "Bad station \"" << LineText::oneLine(text) << "\": the device type \""
                << LineText::oneLine(s.device_type) << "\" cannot be part of a file name." << Qt::endl;
            return 1;
        }
        const bool twice = std::any_of(stations.cbegin(), stations.cend(),
                                       [&s](const DBStation &other) { return other.code == s.code; });
        if (twice) {
            err << "Bad station \"" << LineText::oneLine(text) << "\": the code is given twice." << Qt::endl;
            return 1;
        }
        stations.append(s);
    }
    if (!openDatabase())
        return 1;
    int result = 0;
    {
        StationTableModel stationModel;
        for (const DBStation &s : qAsConst(stations)) {
            const QString taken = StationRules::codeTakenProblem(s.code, 0, stationModel.stations());
            if (!taken.isEmpty()) {
                err << "Could not store station " << LineText::oneLine(s.code) << ": "
                    << LineText::oneLine(taken) << Qt::endl;
                result = 1;
                break;
            }
            if (!stationModel.setData(QModelIndex(), QVariant::fromValue(s))) {
                err << "Could not store station " << LineText::oneLine(s.code) << ": "
                    << LineText::oneLine(DatabaseConnection::lastWriteError()) << Qt::endl;
                result = 1;
                break;
            }
            out << stationModel.stations().constLast().id << '\t' << LineText::oneLine(s.code) << Qt::endl;
        }
    }
    DatabaseConnection::close();
    return result;
}

int HeadlessCollector::setStationSettings(const QStringList &texts)
{
    if (!openDatabase())
        return 1;
    int result = 0;
    const QList<DBStation> stations = DatabaseConnection::selectStations();
    for (const QString &text : texts) {
        // Only the first comma ends the code: exportFormats holds commas.
        const int comma = text.indexOf(QLatin1Char(','));
        const int equals = text.indexOf(QLatin1Char('='), comma + 1);
        if (comma < 1 || equals < 0) {
            err << "Bad station setting \"" << text << "\": expected CODE,key=value." << Qt::endl;
            result = 1;
            break;
        }
        const QString code = text.left(comma).trimmed();
        const QString key = text.mid(comma + 1, equals - comma - 1).trimmed();
        int id = 0;
        for (const DBStation &s : stations)
            if (s.code == code)
                id = s.id;
        QString why;
        if (id == 0) {
            err << "No station with the code " << LineText::oneLine(code) << "." << Qt::endl;
            result = 1;
            break;
        }
        if (!StationSettings::setValue(id, key, text.mid(equals + 1), &why)) {
            err << "Station " << LineText::oneLine(code) << ": " << why << Qt::endl;
            result = 1;
            break;
        }
    }
    DatabaseConnection::close();
    return result;
}

int HeadlessCollector::printStatus(bool json)
{
    if (!openDatabase())
        return 1;
    {
        QList<DBStation> stations = DatabaseConnection::selectStations();
        // The stored status is not part of a loaded record; here it is wanted.
        QSqlQuery query;
        if (query.exec(QStringLiteral("SELECT id, status FROM stations"))) {
            QHash<int, QString> statuses;
            while (query.next())
                statuses.insert(query.value(0).toInt(), query.value(1).toString());
            for (DBStation &st : stations)
                st.status = statuses.value(st.id);
        }
        const QHash<int, StationStats> stats = StationStatsStore::load();
        out << (json ? StatusReport::json(stations, stats) : StatusReport::table(stations, stats));
        out.flush();
    }
    DatabaseConnection::close();
    return 0;
}

int HeadlessCollector::run(bool runOnce)
{
    once = runOnce;
    if (!installSignalHandlers())
        err << "Could not install the signal handlers." << Qt::endl;

    if (!openDatabase())
        return 1;

    model = new StationTableModel;
    controller = new WorkerController(model);
    // On a shared store, stations other operators add, change or delete, and
    // leases so that each station has one collector.
    leases = LeaseKeeper::followStore(model, controller, collectorId, this);
    if (leases) {
        // --once visits what it holds at its start and takes nothing later.
        if (once) {
            leases->renew();
            leases->setTaking(false);
        }
        leases->start();
    }
    connect(controller, &WorkerController::stationStatusPublished, this,
            &HeadlessCollector::onStatusPublished);
    connect(controller, &WorkerController::stationVisitEnded, this, &HeadlessCollector::onVisitEnded);
    connect(controller, &WorkerController::statusStoreFailing, this, &HeadlessCollector::onStoreFailing);
    connect(controller, &WorkerController::keptStatusesStored, this,
            &HeadlessCollector::onKeptStatusesStored);
    connect(controller->monitor(), &StationMonitor::warning, this, &HeadlessCollector::onWarning);
    connect(controller->monitor(), &StationMonitor::mailFinished, this, &HeadlessCollector::onMailFinished);
    const QString mailProblem = StationMonitor::mailLoginProblem(controller->monitor()->options());
    if (!mailProblem.isEmpty())
        err << now() << '\t' << mailProblem << Qt::endl;
    if (!metricsPath.isEmpty()) {
        controller->monitor()->setMetricsFile(metricsPath);
        connect(controller->monitor()->metricsFile(), &MetricsFile::writeFailed, this,
                [this](const QString &why) {
                    err << now() << '\t' << "Could not write the metrics file " << metricsPath << ": " << why
                        << Qt::endl;
                });
    }

    emit collectionStarted(model, controller);
    // Alive between visits, in the store: for a server that only serves.
    const QString beatId = collectorId.isEmpty() ? StationLeases::defaultHolder() : collectorId;
    const auto beatNow = [beatId] { CollectorHeartbeats::beat(beatId, QDateTime::currentDateTime()); };
    QTimer beat;
    connect(&beat, &QTimer::timeout, this, beatNow);
    beat.start(CollectorHeartbeats::periodMs);
    beatNow();

    int active = 0;
    for (const DBStation &s : model->stations())
        active += s.active ? 1 : 0;
    notifier.ready(QStringLiteral("Collecting %1 active stations of %2.").arg(active).arg(model->rowCount()));
    notifier.startWatchdog();

    if (once) {
        const QList<DBStation> stations = model->stations();
        int heldElsewhere = 0;
        for (int row = 0; row < stations.size(); ++row) {
            if (!stations.at(row).active)
                continue;
            if (leases && !leases->held().contains(stations.at(row).id)) {
                ++heldElsewhere;
                continue;
            }
            pendingVisits.insert(stations.at(row).id);
            controller->updateStationData(row);
        }
        if (pendingVisits.isEmpty() && heldElsewhere > 0) {
            // Nothing was collected: a script must not take that for a round done.
            err << now() << '\t'
                << QStringLiteral("No station visited: the %1 active stations are held by other collectors "
                                  "or the station store did not answer.")
                       .arg(heldElsewhere)
                << Qt::endl;
            finish(1);
        } else if (pendingVisits.isEmpty()) {
            finish(0);
        }
    } else {
        controller->startCollecting();
    }

    const int exitCode = QCoreApplication::exec();

    notifier.stopping();
    emit collectionStopping();
    controller->stopCollecting(stopTimeoutMs);
    if (leases) {
        // Given back at once: another collector need not wait for the expiry.
        leases->releaseAll();
        delete leases;
        leases = nullptr;
    }
    if (!controller->monitor()->waitForMail(mailTimeoutMs)) {
        controller->monitor()->abortMail();
        err << now() << '\t'
            << "Alert mails still being sent were given up; they go out after the next start." << Qt::endl;
    }
    // The last figures, whatever the interval.
    if (MetricsFile *metrics = controller->monitor()->metricsFile())
        metrics->writeNow();
    // Counts a round left to finish are kept for the next start: a single
    // round that did not wait for them would read every file again next time.
    if (!controller->completenessBook()->waitForRecounts(once ? recountWaitOnceMs : recountWaitMs))
        err << now() << '\t'
            << "The completeness counts of some stations are counted again at the next start." << Qt::endl;
    if (const int lost = controller->keptStatusCount()) {
        err << now() << '\t' << lost << " statuses could not be stored: the database is still busy."
            << Qt::endl;
    }
    if (const int lost = controller->monitor()->keptReportCount()) {
        err << now() << '\t' << lost
            << " visits could not be counted in the statistics: the database is still busy." << Qt::endl;
    }
    delete controller;
    controller = nullptr;
    delete model;
    model = nullptr;
    VisitStore::shutdown();
    DatabaseConnection::close();
    return exitCode;
}

QString HeadlessCollector::now() const
{
    // Read by scripts too: the same digits whatever the locale. Thousands
    // of lines a second in a big round: formatted once a second. The local
    // time takes a lock the workers' conversions hold too, so the second is
    // read from the clock alone.
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != nowSecond) {
        nowSecond = second;
        nowText = QLocale::c().toString(QDateTime::fromSecsSinceEpoch(second),
                                        QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    return nowText;
}

void HeadlessCollector::flushSoon()
{
    // One write for the lines of one pass of the event loop, not one per
    // line: a round of thousands of stations spent its main loop in write().
    if (flushQueued)
        return;
    flushQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            flushQueued = false;
            out.flush();
        },
        Qt::QueuedConnection);
}

void HeadlessCollector::onStatusPublished(DBStation station)
{
    out << now() << '\t' << station.id << '\t' << LineText::oneLine(station.code) << '\t'
        << LineText::oneLine(station.status) << '\n';
    flushSoon();
    notifier.status(station.code + QStringLiteral(": ") + station.status);
}

void HeadlessCollector::onWarning(int id, QString text)
{
    QString code;
    for (const DBStation &s : model->stations()) {
        if (s.id == id)
            code = s.code;
    }
    out << now() << '\t' << id << '\t' << LineText::oneLine(code) << '\t' << LineText::oneLine(text) << '\n';
    flushSoon();
}

void HeadlessCollector::onMailFinished(int id, QString kind, bool sent, QString error)
{
    if (!sent)
        err << now() << '\t' << "Alert mail (" << kind << ") for station " << id
            << " not sent: " << LineText::oneLine(error) << Qt::endl;
}

void HeadlessCollector::onStoreFailing(int keptCount)
{
    err << now() << '\t' << "Could not store statuses: the database is busy. " << keptCount
        << " kept, stored when it is free again." << Qt::endl;
}

void HeadlessCollector::onKeptStatusesStored(int count)
{
    err << now() << '\t' << "The database is free again: " << count << " kept statuses stored." << Qt::endl;
    if (roundOver)
        finishRoundWhenStored();
}

void HeadlessCollector::onVisitEnded(int id, bool hasError)
{
    if (!once || !pendingVisits.remove(id))
        return;
    anyVisitFailed = anyVisitFailed || hasError;
    if (pendingVisits.isEmpty()) {
        roundOver = true;
        finishRoundWhenStored();
    }
}

void HeadlessCollector::finishRoundWhenStored()
{
    // The round's statuses belong in the database before it counts as done.
    if (controller->keptStatusCount() == 0)
        finish(anyVisitFailed ? 1 : 0);
}

void HeadlessCollector::onStopSignal()
{
    char byte = 0;
    const ssize_t got = ::read(signalPipe[1], &byte, 1);
    (void)got;
    // An interrupted single round did not visit everything.
    finish(once && (!pendingVisits.isEmpty() || anyVisitFailed) ? 1 : 0);
}

void HeadlessCollector::finish(int exitCode)
{
    if (finishing)
        return;
    finishing = true;
    // Queued, so that it also works before the event loop has started.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}
