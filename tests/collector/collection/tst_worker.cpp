#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "collection/visitstore.h"
#include "collection/worker.h"
#include "store/databaseconnection.h"

#include "nexil/protocol/nexil.h"

#include <QDomDocument>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

namespace {

// CPU time of the whole process, in milliseconds.
double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

QStringList statuses(const QSignalSpy &spy)
{
    QStringList list;
    for (const QList<QVariant> &args : spy)
        list << args.at(0).value<DBStation>().status;
    return list;
}

DBStation lastPublished(const QSignalSpy &spy)
{
    return spy.isEmpty() ? DBStation() : spy.last().at(0).value<DBStation>();
}

} // namespace

class tst_Worker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void timerPeriodFromStation();
    void commandsActOnOwnIdOrAll();
    void pausedOrInactiveStationIsNotVisited();
    void refusedConnectionEndsWithSocketText();
    void tickDuringVisitStartsNothing();
    void silentDeviceEndsInLibraryError();
    void updateStationDataVisitsInactiveStationOnce();
    void stationUpdatedRestartsTimerOnNewPeriod();
    void stationCodeMismatchFailsVisit();
    void instantValuesGoUnderTheirSlotsCode();
    void downloadProgressTexts();
    void emptyDataFileListSavesNothing();
    void processLoopSleepsAndStopsPromptly();

    // Whole visits against the simulator.
    void fullVisitSavesWhatTheDeviceHolds();
    void visitWithoutDownloadEndsInSuccess();
    void valuesBeforeAnyTimeStampAreNotSaved();
    void visitToAnotherStationSavesNothing();
    void unsavableDownloadIsReportedAsError();
    void stationWithoutDirectoryDownloadsNothing();
    void storedFileNameCannotLeaveTheFolder();

private:
    DBStation station(quint16 port, bool active = true);
    // An inactive station that downloads into `folder`, without exports.
    DBStation downloading(quint16 port, const QString &folder, const QString &code);
    // Runs one visit to the end; the statuses it published.
    QStringList visit(Worker &worker, DBStation *last);

    // The station store every visit commits its values into.
    QTemporaryDir storeDir;
};

void tst_Worker::initTestCase()
{
    registerDBStation();
    registerNexilMetaTypes();
    const DatabaseUrl url = DatabaseUrl::sqlite(storeDir.filePath(QStringLiteral("data.db")));
    DatabaseUrl::setCurrent(url);
    QVERIFY(DatabaseConnection().open(url));
}

void tst_Worker::init()
{
    // The simulators' values repeat from test to test under one station id.
    QSqlQuery q;
    for (const char *table : {"station_values", "station_commits", "station_file_headers", "station_resume"})
        QVERIFY(q.exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table))));
}

void tst_Worker::cleanupTestCase()
{
    VisitStore::shutdown();
    DatabaseConnection::close();
}

DBStation tst_Worker::downloading(quint16 port, const QString &folder, const QString &code)
{
    DBStation s = station(port, false);
    s.code = code;
    s.file_path = folder;
    s.file_name = code;
    s.download_data = true;
    s.export_text = false;
    s.export_excel = false;
    return s;
}

DBStation tst_Worker::station(quint16 port, bool active)
{
    DBStation s = fullStation();
    s.id = 7;
    s.ip = QStringLiteral("127.0.0.1");
    s.port = port;
    s.active = active;
    s.status.clear();
    return s;
}

void tst_Worker::timerPeriodFromStation()
{
    DBStation s = station(1);
    s.connection_period = 15;
    Worker worker(s);
    QVERIFY(worker.isPaused());
    QVERIFY(!worker.isStopRequested());
    QCOMPARE(worker.currentTimerInterval(), 15 * 60000);
    auto *timer = worker.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(timer && timer->isActive() && !timer->isSingleShot());
    QCOMPARE(timer->interval(), 15 * 60000);

    // A zero or negative period would fire the timer continuously; one
    // beyond what a timer takes would overflow.
    QCOMPARE(Worker::intervalFor(0), 60000);
    QCOMPARE(Worker::intervalFor(-5), 60000);
    QVERIFY(Worker::intervalFor(10000000) > 0);
    QCOMPARE(Worker::intervalFor(10000000), (std::numeric_limits<int>::max() / 60000) * 60000);
}

void tst_Worker::commandsActOnOwnIdOrAll()
{
    SilentDevice device;
    Worker worker(station(device.serverPort()));
    QSignalSpy published(&worker, &Worker::workerStatusChanged);

    worker.onStartCollecting(8);
    QVERIFY(worker.isPaused());
    QCOMPARE(published.count(), 0);

    worker.onStartCollecting(7);
    QVERIFY(!worker.isPaused());
    QCOMPARE(statuses(published), QStringList{"Connecting.."});
    QVERIFY(!lastPublished(published).modified);

    worker.onPauseCollecting(8);
    QVERIFY(!worker.isPaused());
    worker.onPauseCollecting(0);
    QVERIFY(worker.isPaused());

    worker.onStopCollecting(8);
    QVERIFY(!worker.isStopRequested());
    worker.onStopCollecting(0);
    QVERIFY(worker.isStopRequested());
    QVERIFY(worker.isPaused());
}

void tst_Worker::pausedOrInactiveStationIsNotVisited()
{
    SilentDevice device;
    Worker inactive(station(device.serverPort(), false));
    QSignalSpy published(&inactive, &Worker::workerStatusChanged);
    inactive.onStartCollecting(0);
    QCOMPARE(published.count(), 0);

    Worker paused(station(device.serverPort()));
    QSignalSpy pausedPublished(&paused, &Worker::workerStatusChanged);
    paused.onTimerTimeout();
    QCOMPARE(pausedPublished.count(), 0);
}

void tst_Worker::refusedConnectionEndsWithSocketText()
{
    QTemporaryDir dir;
    DBStation s = station(closedPort());
    s.file_path = dir.path();
    Worker worker(s);
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    QSignalSpy ended(&worker, &Worker::visitEnded);
    worker.onStartCollecting(0);
    QVERIFY(ended.wait(5000));
    QCOMPARE(ended.at(0).at(0).toInt(), 7);
    QCOMPARE(ended.at(0).at(1).toBool(), true);
    QCOMPARE(statuses(published), QStringList({"Connecting..", "Connection refused",
                                               "Retry 1 of 3 in 2 min: Connection refused"}));
    QVERIFY(lastPublished(published).has_error);
    QVERIFY(!lastPublished(published).last_connection_time.isValid() ||
            lastPublished(published).last_connection_time == s.last_connection_time);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    // The next visit clears the error when it starts.
    worker.onTimerTimeout();
    QCOMPARE(published.last().at(0).value<DBStation>().status, QStringLiteral("Connecting.."));
    QVERIFY(!published.last().at(0).value<DBStation>().has_error);
    QVERIFY(ended.wait(5000));
}

void tst_Worker::tickDuringVisitStartsNothing()
{
    SilentDevice device;
    Worker worker(station(device.serverPort()));
    worker.device()->setReplyTimeout(60000);
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    worker.onStartCollecting(0);
    QTRY_COMPARE(statuses(published), QStringList({"Connecting..", "Reading parameters"}));
    QVERIFY(lastPublished(published).last_connection_time.secsTo(QDateTime::currentDateTime()) < 5);

    worker.onTimerTimeout();
    worker.onStartCollecting(0);
    QCOMPARE(published.count(), 2);
    QTRY_COMPARE(device.received.value(0).isEmpty(), false); // the setup request went out
    QCOMPARE(device.connections, 1);
}

void tst_Worker::silentDeviceEndsInLibraryError()
{
    SilentDevice device;
    Worker worker(station(device.serverPort()));
    worker.device()->setReplyTimeout(30);
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    QSignalSpy ended(&worker, &Worker::visitEnded);
    worker.onStartCollecting(0);
    QVERIFY(ended.wait(5000));
    QCOMPARE(ended.at(0).at(1).toBool(), true);
    const DBStation last = lastPublished(published);
    QVERIFY(last.has_error);
    QVERIFY(!last.status.isEmpty());
    QVERIFY(last.status != QStringLiteral("Reading parameters"));
    // The error text stays through the disconnection (told once), and the
    // retry names it.
    const QString error = published.at(published.count() - 2).at(0).value<DBStation>().status;
    QVERIFY(published.at(published.count() - 3).at(0).value<DBStation>().status != error);
    QCOMPARE(last.status, QStringLiteral("Retry 1 of 3 in 2 min: ") + error);
}

void tst_Worker::updateStationDataVisitsInactiveStationOnce()
{
    SilentDevice device;
    Worker worker(station(device.serverPort(), false));
    worker.device()->setReplyTimeout(30);
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    QSignalSpy ended(&worker, &Worker::visitEnded);
    worker.onUpdateStationData(8);
    QCOMPARE(published.count(), 0);
    worker.onUpdateStationData(7);
    QCOMPARE(statuses(published), QStringList{"Connecting.."});
    QVERIFY(!worker.currentStation().active);
    QVERIFY(worker.isPaused());
    QVERIFY(ended.wait(5000));
    QCOMPARE(device.connections, 1);
    QVERIFY(!lastPublished(published).active);

    const int count = published.count();
    worker.onTimerTimeout();
    QCOMPARE(published.count(), count);
}

void tst_Worker::stationUpdatedRestartsTimerOnNewPeriod()
{
    DBStation s = station(1);
    Worker worker(s);
    auto *timer = worker.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(timer);

    DBStation other = s;
    other.id = 99;
    other.connection_period = 5;
    worker.onStationUpdated(other);
    QCOMPARE(worker.currentTimerInterval(), 15 * 60000);
    QCOMPARE(worker.currentStation().id, 7);

    DBStation changed = s;
    changed.connection_period = 5;
    changed.name = QStringLiteral("renamed");
    worker.onStationUpdated(changed);
    QCOMPARE(worker.currentTimerInterval(), 5 * 60000);
    QCOMPARE(timer->interval(), 5 * 60000);
    QVERIFY(timer->isActive());
    QVERIFY(timer->remainingTime() > 4 * 60000);
    QCOMPARE(worker.currentStation().name, QStringLiteral("renamed"));

    // Id 0 addresses every worker.
    changed.id = 0;
    changed.connection_period = 2;
    worker.onStationUpdated(changed);
    QCOMPARE(worker.currentTimerInterval(), 2 * 60000);
}

void tst_Worker::stationCodeMismatchFailsVisit()
{
    Worker worker(station(1));
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    SetupParameters reply;
    reply.stationCode = QStringLiteral("codea"); // the station's is "CODEA": case counts
    worker.onNexilSetupParameters(reply);
    const DBStation last = lastPublished(published);
    QCOMPARE(last.status,
             QStringLiteral("Okunan istasyon kodu \"codea\". Okunan kod ile kayıtlı kod eşleşmiyor!"));
    QVERIFY(last.has_error);
}

void tst_Worker::instantValuesGoUnderTheirSlotsCode()
{
    DBStation s = station(1);
    s.code = QStringLiteral("X1");
    s.values[0] = 99.0f; // a quantity no longer reported keeps its value
    Worker worker(s);
    QSignalSpy published(&worker, &Worker::workerStatusChanged);

    SetupParameters setup;
    setup.stationCode = QStringLiteral("X1");
    for (float v : {2.5f, 7.0f, 8.0f}) {
        InstantValue iv;
        iv.value = v;
        setup.instantValues << iv;
    }
    worker.onNexilSetupParameters(setup);

    ChannelNames names;
    // Slot 0 off, slots 1, 2 and 3 on; slot 3 carries a code outside the table.
    names.codes = {CodeAT, CodeWAL, CodeAT, CodeUnknown, CodeWIS};
    names.activeChannels = {1, 2, 3, 4};
    names.activeChannelCount = 4; // one more than there are values
    worker.onNexilChannelNames(names);

    const DBStation last = lastPublished(published);
    QVERIFY(!last.has_error);
    QCOMPARE(last.values[CodeWAL - 0x21], 2.5f);
    QCOMPARE(last.values[CodeAT - 0x21], 7.0f);
    QCOMPARE(last.values[CodeWIS - 0x21], 0.0f);
    QCOMPARE(last.values[0], 99.0f);
}

void tst_Worker::downloadProgressTexts()
{
    Worker worker(station(1));
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    worker.onNexilDownloadStarted(0);
    worker.onNexilDownloadStarted(10001);
    QCOMPARE(published.count(), 0);
    worker.onNexilDownloadStarted(10000);
    worker.onNexilDownloadProgress(3, 10000);
    QCOMPARE(statuses(published),
             QStringList({"Downloading packages (Total: 10000)", "Downloading packages 3/10000"}));
}

void tst_Worker::emptyDataFileListSavesNothing()
{
    QTemporaryDir dir;
    DBStation s = station(1);
    s.file_path = dir.path();
    Worker worker(s);
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    worker.onNexilDataFile({});
    worker.onNexilDownloadCompleted();
    QCOMPARE(statuses(published), QStringList({"Saving files..", "Download completed."}));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void tst_Worker::processLoopSleepsAndStopsPromptly()
{
    constexpr int count = 8;
    QList<QThread *> threads;
    QList<Worker *> workers;
    for (int i = 0; i < count; ++i) {
        DBStation s = station(1, false);
        s.id = i + 1;
        auto *worker = new Worker(s);
        auto *thread = new QThread;
        worker->moveToThread(thread);
        connect(thread, &QThread::started, worker, &Worker::process);
        connect(worker, &Worker::finished, thread, &QThread::quit, Qt::DirectConnection);
        connect(worker, &Worker::finished, worker, &QObject::deleteLater);
        thread->start();
        threads << thread;
        workers << worker;
    }
    QTest::qWait(50); // let every loop enter its wait

    const double cpuBefore = processCpuMs();
    QElapsedTimer idle;
    idle.start();
    QTest::qWait(400);
    const double cpuUsed = processCpuMs() - cpuBefore;
    // Spinning loops would burn a whole core each for the whole wait.
    QVERIFY2(cpuUsed < 0.25 * double(idle.elapsed()),
             qPrintable(QStringLiteral("%1 ms of CPU in %2 ms").arg(cpuUsed).arg(idle.elapsed())));

    QElapsedTimer stopping;
    stopping.start();
    for (Worker *worker : workers)
        QMetaObject::invokeMethod(worker, "onStopCollecting", Qt::QueuedConnection, Q_ARG(int, 0));
    for (QThread *thread : threads)
        QVERIFY(thread->wait(2000));
    QVERIFY(stopping.elapsed() < 1000);
    qDeleteAll(threads);
}

QStringList tst_Worker::visit(Worker &worker, DBStation *last)
{
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    QSignalSpy ended(&worker, &Worker::visitEnded);
    worker.onUpdateStationData(0);
    if (!ended.wait(60000))
        return {QStringLiteral("<visit did not end>")};
    *last = lastPublished(published);
    for (const QList<QVariant> &args : published) {
        if (args.at(0).value<DBStation>().modified)
            return {QStringLiteral("<published a modified record>")};
    }
    return statuses(published);
}

namespace {

struct Line
{
    QString time;
    QString type;
    int channel;
    double value;
};

QList<Line> xmlLines(const QString &path)
{
    QList<Line> lines;
    QFile file(path);
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file))
        return lines;
    const QDomNodeList nodes = doc.elementsByTagName(QStringLiteral("line"));
    for (int i = 0; i < nodes.size(); ++i) {
        const QDomElement e = nodes.at(i).toElement();
        lines.append({e.attribute("date") + ' ' + e.attribute("time"), e.attribute("dataType"),
                      e.attribute("channel").toInt(), e.attribute("value").toDouble()});
    }
    return lines;
}

QList<Line> truthLines(const QString &path)
{
    QList<Line> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    file.readLine(); // header
    while (!file.atEnd()) {
        const QList<QByteArray> f = file.readLine().trimmed().split(',');
        if (f.size() == 4)
            lines.append(
                {QString::fromLatin1(f[0]), QString::fromLatin1(f[1]), f[2].toInt(), f[3].toDouble()});
    }
    return lines;
}

} // namespace

void tst_Worker::fullVisitSavesWhatTheDeviceHolds()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), "{}"), qPrintable(sim.error()));
    const DBStation s =
        downloading(sim.port, dir.filePath(QStringLiteral("station")), QStringLiteral("D02A003"));
    Worker worker(s);

    DBStation last;
    const QStringList texts = visit(worker, &last);
    QCOMPARE(texts.first(), QStringLiteral("Connecting.."));
    QCOMPARE(texts.at(1), QStringLiteral("Reading parameters"));
    QVERIFY2(texts.contains(QStringLiteral("Saving files..")), qPrintable(texts.join('|')));
    QVERIFY(texts.filter(QStringLiteral("Downloading packages (Total: ")).size() == 1);
    QCOMPARE(texts.last(), QStringLiteral("Download completed."));
    QVERIFY(!last.has_error);
    QVERIFY(last.last_connection_time.isValid());

    const QStringList files = QDir(s.file_path).entryList({QStringLiteral("D02A003_*.xml")}, QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^D02A003_\\d{8}\\.xml$")).match(files.first()).hasMatch());
    const QString path = QDir(s.file_path).filePath(files.first());

    const QList<Line> saved = xmlLines(path);
    const QList<Line> truth = truthLines(sim.truthPath());
    QVERIFY(truth.size() > 100);
    QCOMPARE(saved.size(), truth.size());
    for (int i = 0; i < truth.size(); ++i) {
        const Line &a = saved.at(i);
        const Line &b = truth.at(i);
        QVERIFY2(a.time == b.time && a.type == b.type && a.channel == b.channel &&
                     qAbs(a.value - b.value) <= 1e-4 + 1e-6 * qAbs(b.value),
                 qPrintable(QStringLiteral("line %1: %2 %3 %4 %5 vs %6 %7 %8 %9")
                                .arg(i)
                                .arg(a.time, a.type)
                                .arg(a.channel)
                                .arg(a.value)
                                .arg(b.time, b.type)
                                .arg(b.channel)
                                .arg(b.value)));
    }

    // The next visit resumes where this one stopped: nothing is read twice.
    const QStringList again = visit(worker, &last);
    QCOMPARE(again.last(), QStringLiteral("Download completed."));
    QCOMPARE(xmlLines(path).size(), truth.size());
    QVERIFY(!worker.currentStation().active);
}

void tst_Worker::valuesBeforeAnyTimeStampAreNotSaved()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator sim;
    // A device whose memory begins without a time stamp: its first values
    // have no time to be placed at.
    const QByteArray scenario = R"({"station": {"code": "U01"}, "channels": [
        {"state": 1, "name": "Level", "code": 49, "unit": "cm"}],
        "memory": {"records": [{"type": "measurement", "minutes": 10, "values": [1.5]},
                               {"type": "timestamp", "time": "01/12/26 06:00"},
                               {"type": "measurement", "minutes": 0, "values": [2.5]},
                               {"type": "measurement", "minutes": 15, "values": [3.5]}]}})";
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), scenario), qPrintable(sim.error()));
    const DBStation s = downloading(sim.port, dir.filePath(QStringLiteral("station")), QStringLiteral("U01"));
    Worker worker(s);
    DBStation last;
    const QStringList texts = visit(worker, &last);
    QCOMPARE(texts.last(), QStringLiteral("Download completed."));
    const QStringList files = QDir(s.file_path).entryList({QStringLiteral("U01_*.xml")}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QList<Line> saved = xmlLines(QDir(s.file_path).filePath(files.first()));
    QCOMPARE(saved.size(), 2);
    QCOMPARE(saved.at(0).time, QStringLiteral("2026-12-01 06:00"));
    QCOMPARE(saved.at(0).value, 2.5);
    QCOMPARE(saved.at(1).time, QStringLiteral("2026-12-01 06:15"));
}

void tst_Worker::visitWithoutDownloadEndsInSuccess()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator sim;
    // Slot 0 is off: the first value belongs to slot 1, not to slot 0's code.
    const QByteArray scenario = R"({"station": {"code": "ST'01"}, "channels": [
        {"state": 0, "name": "WTemp", "code": 51, "unit": "C", "instant": 99},
        {"state": 1, "name": "Level", "code": 49, "unit": "cm", "instant": 123.4},
        {"state": 1, "name": "AirTemp", "code": 35, "unit": "C", "instant": 14.2},
        {"state": 1, "name": "Odd", "code": 56, "unit": "x", "instant": 5}],
        "memory": {"records": [{"type": "setup", "time": "01/12/26 00:00"}]}})";
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), scenario), qPrintable(sim.error()));
    DBStation s = station(sim.port);
    s.code = QStringLiteral("ST'01");
    s.file_path = dir.filePath(QStringLiteral("station"));
    s.download_data = false;
    Worker worker(s);
    DBStation last;
    const QStringList texts = visit(worker, &last);
    QCOMPARE(texts.last(), QStringLiteral("Success"));
    QVERIFY(!texts.contains(QStringLiteral("Saving files..")));
    QVERIFY(!last.has_error);
    QCOMPARE(last.values[0x31 - 0x21], 123.4f);
    QCOMPARE(last.values[0x23 - 0x21], 14.2f);
    QCOMPARE(last.values[0x33 - 0x21], 0.0f);
    QVERIFY(!QDir(s.file_path).exists());
}

void tst_Worker::visitToAnotherStationSavesNothing()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), R"({"station": {"code": "OTHER1"}})"),
             qPrintable(sim.error()));
    DBStation s = station(sim.port);
    s.code = QStringLiteral("D02A003");
    s.file_path = dir.filePath(QStringLiteral("station"));
    Worker worker(s);
    DBStation last;
    const QStringList texts = visit(worker, &last);
    QCOMPARE(texts.last(),
             QStringLiteral("Okunan istasyon kodu \"OTHER1\". Okunan kod ile kayıtlı kod eşleşmiyor!"));
    QVERIFY(last.has_error);
    QVERIFY(!QDir(s.file_path).exists());
    QFile log(dir.filePath(QStringLiteral("sim.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(!log.readAll().contains("AKT")); // no memory was requested
}

void tst_Worker::unsavableDownloadIsReportedAsError()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), "{}"), qPrintable(sim.error()));
    // The station's directory is taken by a plain file.
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DBStation s = station(sim.port);
    s.code = QStringLiteral("D02A003");
    s.file_path = blocker.fileName();
    s.download_data = true;
    Worker worker(s);
    DBStation last;
    const QStringList texts = visit(worker, &last);
    QVERIFY2(last.has_error, qPrintable(texts.join('|')));
    QVERIFY2(last.status.startsWith(QStringLiteral("Could not save the data file ")),
             qPrintable(last.status));
    QVERIFY(!texts.contains(QStringLiteral("Download completed.")));
}

void tst_Worker::stationWithoutDirectoryDownloadsNothing()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), "{}"), qPrintable(sim.error()));
    DBStation s = station(sim.port);
    s.code = QStringLiteral("D02A003");
    s.file_path.clear(); // would otherwise write into the root directory
    s.download_data = true;
    Worker worker(s);
    DBStation last;
    visit(worker, &last);
    QVERIFY(last.has_error);
    QCOMPARE(last.status, QStringLiteral("The station has no data directory."));
    QFile log(dir.filePath(QStringLiteral("sim.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(!log.readAll().contains("AKT"));
}

void tst_Worker::storedFileNameCannotLeaveTheFolder()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("files/D"));
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), "{}"), qPrintable(sim.error()));
    DBStation s = downloading(sim.port, folder, QStringLiteral("D02A003"));
    s.file_name = QStringLiteral("../../EVIL");
    {
        Worker worker(s);
        DBStation last;
        visit(worker, &last);
        QVERIFY2(!last.has_error, qPrintable(last.status));
    }
    const QStringList saved = QDir(folder).entryList(QDir::Files);
    QCOMPARE(saved.size(), 1);
    QVERIFY2(saved.first().startsWith(QStringLiteral("_.._EVIL_")), qPrintable(saved.first()));
    QVERIFY(QDir(dir.path()).entryList({QStringLiteral("EVIL*")}).isEmpty());

    // Nothing usable left: the visit fails before a page is read.
    s.file_name = QStringLiteral("..");
    Worker worker(s);
    DBStation last;
    visit(worker, &last);
    QVERIFY(last.has_error);
    QCOMPARE(last.status, QStringLiteral("The station's file name cannot name a file: .."));
    QCOMPARE(QDir(folder).entryList(QDir::Files), saved);
}

QTEST_GUILESS_MAIN(tst_Worker)
#include "tst_worker.moc"
