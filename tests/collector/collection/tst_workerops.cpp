#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "collection/completenessbook.h"
#include "collection/stationmonitor.h"
#include "collection/worker.h"
#include "store/databaseconnection.h"
#include "store/stationdaycounts.h"
#include "store/stationtablemodel.h"

#include "nexil/protocol/nexil.h"

#include <QTemporaryDir>
#include <QtTest>

// A worker left to itself against the simulator: retries after failures and
// the device clock.
class tst_WorkerOps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void retriedOnTiersUntilTheStationAccepts();
    void clockDriftWarnsWithoutTouchingTheDevice();
    void clockSetOnceWhenAllowed();
    void clockSettingWithWrongPasswordNotRepeated();
    void completenessCountsFollowTheSavedValues();

private:
    // A device whose clock runs `offsetSeconds` ahead of the host's.
    bool startDevice(Simulator &sim, int offsetSeconds);
    DBStation station(quint16 port) const;
    // One visit asked for by hand; its report.
    VisitReport visit(Worker &worker, QStringList *statuses = nullptr);
    int uploadsLogged() const;

    QTemporaryDir dir;
};

void tst_WorkerOps::initTestCase()
{
    registerDBStation();
    registerNexilMetaTypes();
    if (!Simulator::available())
        QSKIP("the simulator is not built");
}

bool tst_WorkerOps::startDevice(Simulator &sim, int offsetSeconds)
{
    const QString clock = QLocale::c().toString(QDateTime::currentDateTime().addSecs(offsetSeconds),
                                                QStringLiteral("dd/MM/yy hh:mm:ss"));
    const QByteArray json =
        QStringLiteral(R"({"clock": "%1", "station": {"code": "OPS1"}})").arg(clock).toUtf8();
    return sim.start(dir.path(), QStringLiteral("sim"), json);
}

DBStation tst_WorkerOps::station(quint16 port) const
{
    DBStation s = fullStation();
    s.id = 3;
    s.code = QStringLiteral("OPS1");
    s.ip = QStringLiteral("127.0.0.1");
    s.port = port;
    s.connection_period = 60;
    s.download_data = false;
    return s;
}

VisitReport tst_WorkerOps::visit(Worker &worker, QStringList *statuses)
{
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    QSignalSpy reported(&worker, &Worker::visitReported);
    worker.onUpdateStationData(0);
    if (!reported.wait(30000))
        return VisitReport();
    if (statuses) {
        for (const QList<QVariant> &args : qAsConst(published))
            *statuses << args.at(0).value<DBStation>().status;
    }
    return reported.last().at(0).value<VisitReport>();
}

int tst_WorkerOps::uploadsLogged() const
{
    QFile log(dir.filePath(QStringLiteral("sim.log")));
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    int uploads = 0;
    for (const QByteArray &line : log.readAll().split('\n'))
        uploads += line.startsWith("PAR") ? 1 : 0;
    return uploads;
}

void tst_WorkerOps::retriedOnTiersUntilTheStationAccepts()
{
    CollectionOptions options;
    options.minuteMs = 5; // 2, 5, 15 "minutes": 10, 25, 75 ms; the period 300 ms
    const quint16 port = closedPort();
    // The statistics follow on the same thread.
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    DBStation s = station(port);
    s.id = DatabaseConnection::insertStation(s);
    StationTableModel model;
    StationMonitor monitor(&model, options);
    Worker worker(s, options);
    connect(&worker, &Worker::visitReported, &monitor, &StationMonitor::onVisitReport);
    QSignalSpy published(&worker, &Worker::workerStatusChanged);
    QSignalSpy reported(&worker, &Worker::visitReported);
    worker.onStartCollecting(0);

    QVERIFY(reported.wait(5000));
    VisitReport r = reported.last().at(0).value<VisitReport>();
    QCOMPARE(r.result, VisitReport::NoConnection);
    QVERIFY(!r.wasRetry);
    QCOMPARE(r.nextRetry, 1);
    QCOMPARE(published.last().at(0).value<DBStation>().status,
             QStringLiteral("Retry 1 of 3 in 2 min: Connection refused"));
    QCOMPARE(worker.activeTimerInterval(), 10);

    QVERIFY(reported.wait(5000));
    QCOMPARE(reported.count(), 2);
    r = reported.last().at(0).value<VisitReport>();
    QVERIFY(r.wasRetry);
    QCOMPARE(r.nextRetry, 2);
    QCOMPARE(published.last().at(0).value<DBStation>().status,
             QStringLiteral("Retry 2 of 3 in 5 min: Connection refused"));

    // The station comes back; the timer cannot fire while the simulator
    // starts (no event loop runs), so the third retry finds it.
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("back"), R"({"station": {"code": "OPS1"}})",
                       {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port)}),
             qPrintable(sim.error()));
    QVERIFY(reported.wait(10000));
    QCOMPARE(reported.count(), 3);
    r = reported.last().at(0).value<VisitReport>();
    QCOMPARE(r.result, VisitReport::Success);
    QVERIFY(r.wasRetry);
    QCOMPARE(r.nextRetry, 0);
    QCOMPARE(worker.pendingRetry(), 0);
    QCOMPARE(worker.activeTimerInterval(), 60 * 5);
    QCOMPARE(published.last().at(0).value<DBStation>().status, QStringLiteral("Success"));
    QVERIFY(!published.last().at(0).value<DBStation>().has_error);

    const StationStats stats = monitor.stats(s.id);
    QCOMPARE(stats.visits, qint64(3));
    QCOMPARE(stats.failedNoConnection, qint64(2));
    QCOMPARE(stats.successes, qint64(1));
    QCOMPARE(stats.retries, qint64(2));
    QCOMPARE(stats.consecutiveFailures, 0);
    QCOMPARE(stats.lastSuccess, r.ended);
    QVERIFY(stats.driftKnown);
    DatabaseConnection::close();
}

void tst_WorkerOps::clockDriftWarnsWithoutTouchingTheDevice()
{
    Simulator sim;
    QVERIFY2(startDevice(sim, 600), qPrintable(sim.error()));
    Worker worker(station(sim.port)); // clock setting off by default
    QStringList statuses;
    const VisitReport r = visit(worker, &statuses);
    QCOMPARE(r.result, VisitReport::Success);
    QVERIFY(r.driftKnown);
    QVERIFY2(qAbs(r.driftSeconds - 600) <= 5, qPrintable(QString::number(r.driftSeconds)));
    QVERIFY(r.driftBeyondLimit);
    QVERIFY(!r.clockSet);
    const QString warning = QStringLiteral("Device clock off by %1 s (limit 120 s)").arg(r.driftSeconds);
    QVERIFY2(statuses.contains(warning), qPrintable(statuses.join('|')));
    QCOMPARE(statuses.last(), QStringLiteral("Success (device clock off by %1 s)").arg(r.driftSeconds));
    QCOMPARE(uploadsLogged(), 0);

    // Within the limit: no warning.
    CollectionOptions lenient;
    lenient.clockDriftWarnSeconds = 900;
    worker.onOptionsChanged(lenient);
    statuses.clear();
    QVERIFY(!visit(worker, &statuses).driftBeyondLimit);
    QCOMPARE(statuses.last(), QStringLiteral("Success"));
}

void tst_WorkerOps::clockSetOnceWhenAllowed()
{
    Simulator sim;
    QVERIFY2(startDevice(sim, -600), qPrintable(sim.error()));
    CollectionOptions options;
    options.clockSync = true;
    options.devicePassword = QStringLiteral("1234");
    Worker worker(station(sim.port), options);
    QStringList statuses;
    VisitReport r = visit(worker, &statuses);
    QCOMPARE(r.result, VisitReport::Success);
    QVERIFY(r.clockSet);
    QVERIFY2(statuses.filter(QStringLiteral("Setting the device clock to the host time (off by -")).size() ==
                 1,
             qPrintable(statuses.join('|')));
    QVERIFY(statuses.contains(QStringLiteral("Device clock set to the host time")));
    // Read again after the setting: the warning is gone.
    QVERIFY(qAbs(r.driftSeconds) <= 5);
    QVERIFY(!r.driftBeyondLimit);
    QCOMPARE(statuses.last(), QStringLiteral("Success"));
    QCOMPARE(uploadsLogged(), 1);

    r = visit(worker);
    QVERIFY(!r.clockSet && !r.driftBeyondLimit);
    QCOMPARE(uploadsLogged(), 1);
}

void tst_WorkerOps::clockSettingWithWrongPasswordNotRepeated()
{
    Simulator sim;
    QVERIFY2(startDevice(sim, 900), qPrintable(sim.error()));
    CollectionOptions options;
    options.clockSync = true;
    options.devicePassword = QStringLiteral("9999");
    Worker worker(station(sim.port), options);
    QStringList statuses;
    VisitReport r = visit(worker, &statuses);
    QCOMPARE(r.result, VisitReport::Success);
    QVERIFY(!r.clockSet);
    QVERIFY(r.driftBeyondLimit);
    QVERIFY2(statuses.contains(QStringLiteral("Device clock not set: wrong device password")),
             qPrintable(statuses.join('|')));
    QCOMPARE(uploadsLogged(), 1);
    // Once a day at most, answered or not.
    const QDateTime attempt = r.clockAttempt;
    QVERIFY(attempt.isValid());
    r = visit(worker);
    QVERIFY(r.driftBeyondLimit);
    QVERIFY(!r.clockAttempt.isValid());
    QCOMPARE(uploadsLogged(), 1);
    // A worker of the next start is given the stored attempt.
    Worker restarted(station(sim.port), options);
    restarted.setLastClockSet(attempt);
    r = visit(restarted);
    QVERIFY(r.driftBeyondLimit);
    QCOMPARE(uploadsLogged(), 1);
}

namespace {

QString countsText(const QVector<StationDayCounts::Count> &counts)
{
    QStringList lines;
    for (const StationDayCounts::Count &c : counts)
        lines << QStringLiteral("%1 ch%2 %3/%4")
                     .arg(c.day.toString(Qt::ISODate))
                     .arg(c.channel)
                     .arg(c.present)
                     .arg(c.expected);
    lines.sort();
    return lines.join(QLatin1Char('\n'));
}

qint64 fileSize(const QString &path)
{
    return QFileInfo(path).size();
}

} // namespace

void tst_WorkerOps::completenessCountsFollowTheSavedValues()
{
    // A logger whose clock runs fast writes new values between the visits;
    // some of its air temperatures are sensor errors. After every visit the
    // counts in the store equal a count of the files from scratch.
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("counts.db")), QString(), 0, QString(), QString()));
    Simulator sim;
    QVERIFY2(
        sim.start(dir.path(), QStringLiteral("counts"),
                  R"({"station": {"code": "CNT1"}, "memory": {"generator": {"enabled": true, "days": 3}}})",
                  {QStringLiteral("--speed"), QStringLiteral("900")}),
        qPrintable(sim.error()));
    DBStation s = station(sim.port);
    s.code = QStringLiteral("CNT1");
    s.download_data = true;
    s.file_path = dir.filePath(QStringLiteral("cnt"));
    s.file_name = QStringLiteral("CNT1");
    s.id = DatabaseConnection::insertStation(s);
    CompletenessBook book;
    Worker worker(s);
    connect(&worker, &Worker::visitReported, &book, &CompletenessBook::onVisitReport);
    const auto recounted = [&] {
        return countsText(
            CompletenessBook::recountFiles(s.file_path, s.file_name, QDateTime::currentDateTime(), 30)
                .counts);
    };

    // The first file of a station: its values are counted as they come.
    const VisitReport first = visit(worker);
    QCOMPARE(first.result, VisitReport::Success);
    QVERIFY(first.saved.values.size() > 100);
    QCOMPARE(book.recountsPending(), 0);
    // Stored at the next pass of the event loop, with the other visits'.
    QTRY_VERIFY(!StationDayCounts::counts(s.id).isEmpty());
    const QString afterFirst = countsText(StationDayCounts::counts(s.id));
    QVERIFY2(afterFirst.count(QLatin1Char('\n')) >= 3, qPrintable(afterFirst));
    QCOMPARE(afterFirst, recounted());

    // A new file beside another of the station's: the values alone are not
    // the window's, unless the other file is older than the window. The
    // saving thread looked at the folder, not the book.
    for (const int daysOld : {2, 40}) {
        DBStation other = station(sim.port);
        other.code = QStringLiteral("CNT1");
        other.download_data = true;
        other.file_path = dir.filePath(QStringLiteral("cnt%1").arg(daysOld));
        other.file_name = QStringLiteral("CNT%1").arg(daysOld);
        // The same logger under another station: the store holds each code once.
        DBStation stored = other;
        stored.code = QStringLiteral("CNT1-%1").arg(daysOld);
        other.id = DatabaseConnection::insertStation(stored);
        QVERIFY(other.id > 0);
        QVERIFY(QDir().mkpath(other.file_path));
        const QString old = other.file_path + QStringLiteral("/CNT%1_01012020.xml").arg(daysOld);
        QVERIFY(QFile::copy(first.saved.file, old));
        QFile oldFile(old);
        QVERIFY(oldFile.open(QIODevice::ReadWrite));
        const QDateTime oldTime = QDateTime::currentDateTime().addDays(-daysOld);
        QVERIFY(oldFile.setFileTime(oldTime, QFileDevice::FileModificationTime));
        oldFile.close();
        Worker otherWorker(other);
        connect(&otherWorker, &Worker::visitReported, &book, &CompletenessBook::onVisitReport);
        const VisitReport report = visit(otherWorker);
        QCOMPARE(report.result, VisitReport::Success);
        QCOMPARE(report.saved.sizeBefore, qint64(-1));
        QCOMPARE(report.saved.newestOther / 1000, oldTime.toMSecsSinceEpoch() / 1000);
        QCOMPARE(book.recountsPending(), daysOld < 30 ? 1 : 0);
        QVERIFY(book.waitForRecounts(30000));
        const QString expected = countsText(
            CompletenessBook::recountFiles(other.file_path, other.file_name, QDateTime::currentDateTime(), 30)
                .counts);
        QTRY_COMPARE(countsText(StationDayCounts::counts(other.id)), expected);
    }

    // Values written since then: added to the counts, no file read. What
    // the simulator has noted may not be a whole record in its memory yet:
    // then the visit finds nothing new and the next one does.
    VisitReport second;
    for (int attempt = 0; attempt < 5 && second.saved.values.isEmpty(); ++attempt) {
        const qint64 truthBefore = fileSize(sim.truthPath());
        QTRY_VERIFY_WITH_TIMEOUT(fileSize(sim.truthPath()) > truthBefore, 20000);
        second = visit(worker);
        QCOMPARE(second.result, VisitReport::Success);
    }
    QVERIFY(!second.saved.values.isEmpty());
    QCOMPARE(book.recountsPending(), 0);
    QTRY_COMPARE(countsText(StationDayCounts::counts(s.id)), recounted());
    const double share = book.share(s, QDateTime::currentDateTime(), nullptr);
    QVERIFY2(share > 0.99 && share < 1.0, qPrintable(QString::number(share)));

    // Someone else wrote the file: counted again from the files, off this
    // thread, and the counts go on from there.
    const QString file = second.saved.file;
    QFile touched(file);
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(
        touched.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    touched.close();
    const qint64 truthThen = fileSize(sim.truthPath());
    QTRY_VERIFY_WITH_TIMEOUT(fileSize(sim.truthPath()) > truthThen, 20000);
    QSignalSpy done(&book, &CompletenessBook::recounted);
    QCOMPARE(visit(worker).result, VisitReport::Success);
    QCOMPARE(book.recountsPending(), 1);
    // Asked again while it runs: one recount at a time, the second after it.
    book.recount(s);
    QVERIFY(book.waitForRecounts(30000));
    QCOMPARE(done.count(), 2);
    QVERIFY(done.at(0).at(1).toBool());
    QTRY_COMPARE(countsText(StationDayCounts::counts(s.id)), recounted());
    const qint64 truthLast = fileSize(sim.truthPath());
    QTRY_VERIFY_WITH_TIMEOUT(fileSize(sim.truthPath()) > truthLast, 20000);
    QCOMPARE(visit(worker).result, VisitReport::Success);
    QCOMPARE(book.recountsPending(), 0);
    QTRY_COMPARE(countsText(StationDayCounts::counts(s.id)), recounted());
    DatabaseConnection::close();
}

QTEST_GUILESS_MAIN(tst_WorkerOps)
#include "tst_workerops.moc"
