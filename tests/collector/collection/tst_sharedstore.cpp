// The station store on a PostgreSQL server the test starts itself: the same
// table and rows as the embedded store, statuses kept while the server is
// gone, and the headless collector visiting from it.

#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "collection/leasekeeper.h"
#include "collection/mainloopprobe.h"
#include "collection/stationmonitor.h"
#include "collection/workercontroller.h"
#include "store/databaseconnection.h"
#include "store/resumepoints.h"
#include "store/stationsettings.h"
#include "store/stationtablemodel.h"
#include "store/storefollower.h"
#include "support/datatruth.h"
#include "support/postgresserver.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

class tst_SharedStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void stationsOnTheServer();
    void lostServerKeepsTheWriteUntilItIsBack();
    void resumePointsKeptOnTheServer_laterOneWins();
    void windowFollowsWhatOthersWrite();
    void headlessOnceFromTheServer_passwordNeverShown();
    void twoCollectorsAtOnce_eachStationVisitedOnce();
    void killedCollectorsStationsAreTakenOver();
    void takeoverResumesWhereTheOtherSaved();
    void collectingTakesLeasesPausingGivesThemBack();
    void runningCollectorsVisitOncePerPeriod_andTakeOverAKilledOne();
    void urlParametersReachTheServer();
    void operatorsEditSurvivesTheVisit_everyVisitOfTwoCollectorsCounted();

private:
    DatabaseUrl url() const;
    // Starts `count` simulated loggers named PREFIX00, PREFIX01, ...; false
    // with the reason in *error when one did not come up.
    static bool startLoggers(const QString &dir, const QString &prefix, int count,
                             std::vector<std::unique_ptr<Simulator>> *loggers, QString *error);
    // Runs tqm510 with the server's store and the given working folder.
    QProcess *collector(const QString &workdir, const QStringList &args, QObject *owner);

    std::unique_ptr<PostgresServer> server;
};

void tst_SharedStore::initTestCase()
{
    if (!PostgresServer::available())
        QSKIP("the PostgreSQL server programs are not installed (Debian package postgresql)");
    server = std::make_unique<PostgresServer>();
    QVERIFY2(server->start(), qPrintable(server->error()));
}

void tst_SharedStore::cleanup()
{
    DatabaseConnection::close();
    if (server) {
        DatabaseConnection db;
        QVERIFY(db.open(url()));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS stations"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_resume"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_leases"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS collectors"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_stats"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_config"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_errors"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_visits"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_settings"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_values"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_commits"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS station_file_headers"));
        QSqlQuery().exec(QStringLiteral("DROP TABLE IF EXISTS channel_alarms"));
        DatabaseConnection::close();
    }
}

DatabaseUrl tst_SharedStore::url() const
{
    DatabaseUrl u;
    QString error;
    DatabaseUrl::parse(server->url(), &u, &error);
    return u;
}

QProcess *tst_SharedStore::collector(const QString &workdir, const QStringList &args, QObject *owner)
{
    auto *p = new QProcess(owner);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(qEnvironmentVariable("TQM510"),
             QStringList{QStringLiteral("--workdir"), workdir, QStringLiteral("--database"), server->url()} +
                 args);
    return p;
}

bool tst_SharedStore::startLoggers(const QString &dir, const QString &prefix, int count,
                                   std::vector<std::unique_ptr<Simulator>> *loggers, QString *error)
{
    for (int i = 0; i < count; ++i) {
        const QString code = prefix + QStringLiteral("%1").arg(i, 2, 10, QChar('0'));
        loggers->push_back(std::make_unique<Simulator>());
        if (!loggers->back()->start(dir, code,
                                    QStringLiteral(R"({"station": {"code": "%1"}})").arg(code).toUtf8())) {
            *error = loggers->back()->error();
            return false;
        }
    }
    return true;
}

void tst_SharedStore::stationsOnTheServer()
{
    DatabaseConnection db;
    QVERIFY2(db.open(url()), qPrintable(DatabaseConnection::lastOpenError()));
    QVERIFY(DatabaseConnection::isPostgreSQL());

    DBStation first = fullStation(QStringLiteral("D15A012"));
    first.name = QStringLiteral("Kızılırmak - Söğütlü");
    const int a = DatabaseConnection::insertStation(first);
    const int b = DatabaseConnection::insertStation(fullStation(QStringLiteral("D15A013")));
    QCOMPARE(a, 1);
    QCOMPARE(b, 2); // from the table's sequence

    QList<DBStation> stations = DatabaseConnection::selectStations();
    QCOMPARE(stations.size(), 2);
    QCOMPARE(stations.at(0).name, first.name);
    QCOMPARE(stations.at(0).emaillist, first.emaillist);
    QCOMPARE(stations.at(0).last_connection_time, first.last_connection_time);
    stations[1].status = QStringLiteral("Veri indirildi");
    stations[1].active = true;
    QVERIFY(DatabaseConnection::updateStations({stations.at(1)}));
    QVERIFY(DatabaseConnection::deleteStation(a));
    QString why;
    QVERIFY(StationSettings::setValue(b, QStringLiteral("utcOffset"), QStringLiteral("+04:00"), &why));
    QVERIFY2(StationSettings::setValue(b, QStringLiteral("utcOffset"), QStringLiteral("+02:00"), &why),
             qPrintable(why));
    DatabaseConnection::close();

    // Opened again, the table is there and keeps its rows.
    QVERIFY(db.open(url()));
    stations = DatabaseConnection::selectStations();
    QCOMPARE(stations.size(), 1);
    QVERIFY(stations.at(0).active);
    QSqlQuery status(QStringLiteral("SELECT status FROM stations WHERE id = 2"));
    QVERIFY(status.next());
    QCOMPARE(status.value(0).toString(), QStringLiteral("Veri indirildi"));
    // The station settings' table on the server: the second value replaced the first.
    QVERIFY(StationSettings::reload());
    QCOMPARE(StationSettings::utcOffsetMinutes(2, QString()), 120);
}

void tst_SharedStore::lostServerKeepsTheWriteUntilItIsBack()
{
    DatabaseConnection db;
    QVERIFY(db.open(url()));
    DBStation station = fullStation(QStringLiteral("D01"));
    station.id = DatabaseConnection::insertStation(station);
    QVERIFY(station.id > 0);

    QVERIFY2(server->stopServer(), qPrintable(server->error()));
    station.status = QStringLiteral("Bağlantı yok");
    bool busy = false;
    QVERIFY(!DatabaseConnection::updateStations({station}, &busy));
    QVERIFY(busy); // worth trying again: the caller keeps the status

    QVERIFY2(server->startServer(), qPrintable(server->error()));
    // Tried again as the controller does, the write goes through once the
    // back-off lets the connection be opened again.
    QTRY_VERIFY_WITH_TIMEOUT(DatabaseConnection::updateStations({station}, &busy), 40000);
    QSqlQuery query(QStringLiteral("SELECT status FROM stations"));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), station.status);
}

void tst_SharedStore::resumePointsKeptOnTheServer_laterOneWins()
{
    DatabaseConnection db;
    QVERIFY(db.open(url()));
    ResumePoints points;
    QVERIFY(points.createTable());
    QVERIFY(points.createTable()); // once there, left alone

    ResumePoints::Point point;
    QVERIFY(points.load(7, &point));
    QVERIFY(!point.isValid()); // never saved: from the file alone
    const QString file = QStringLiteral("H01_01122026.xml");
    const ResumePoints::Point saved{12, 300, QDateTime(QDate(2026, 12, 1), QTime(6, 10))};
    QCOMPARE(points.store(7, saved, file), ResumePoints::Stored);
    // Never a point without its base, never one behind the stored one.
    QCOMPARE(points.store(7, {12, 400, QDateTime()}, file), ResumePoints::Refused);
    QCOMPARE(points.store(7, {11, 500, saved.timeBase}, file), ResumePoints::Refused);
    QVERIFY(points.load(7, &point));
    QCOMPARE(point.offset(), saved.offset());
    QCOMPARE(point.timeBase, saved.timeBase);

    // Collector b took the station over (lease number 2): its points count,
    // those a stale collector saved under number 1 no longer do, and a visit
    // without a lease writes nothing while b holds it.
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("INSERT INTO station_leases(station_id, holder, expires_at, epoch) "
                                  "VALUES(7, 'b', now() + interval '1 minute', 2)")));
    const ResumePoints::Point byB{13, 0, QDateTime(QDate(2026, 12, 1), QTime(9, 0))};
    QCOMPARE(points.store(7, byB, file, QStringLiteral("b"), 2), ResumePoints::Stored);
    QCOMPARE(points.store(7, {14, 0, byB.timeBase}, file, QStringLiteral("a"), 1), ResumePoints::Refused);
    QCOMPARE(points.store(7, {14, 0, byB.timeBase}, file, QStringLiteral("window")), ResumePoints::Refused);
    // A new memory file starts again at its beginning.
    QCOMPARE(
        points.store(7, {0, 40, byB.timeBase}, QStringLiteral("H01_02122026.xml"), QStringLiteral("b"), 2),
        ResumePoints::Stored);
    QVERIFY(points.load(7, &point));
    QCOMPARE(point.buffer, 40);

    // A file behind the store (another collector saved later) yields to it,
    // a file ahead of it wins; pages weigh more than buffers; at one place
    // the point that knows its base wins.
    const ResumePoints::Point inFile{11, 500, QDateTime(QDate(2026, 11, 30), QTime(0, 0))};
    QCOMPARE(ResumePoints::later(inFile, saved).buffer, 300);
    QCOMPARE(ResumePoints::later({13, 0, QDateTime()}, saved).page, 13);
    QCOMPARE(ResumePoints::later(saved, ResumePoints::Point()).page, 12);
    QCOMPARE(ResumePoints::later({12, 300, QDateTime()}, saved).timeBase, saved.timeBase);
}

void tst_SharedStore::windowFollowsWhatOthersWrite()
{
    DatabaseConnection db;
    QVERIFY(db.open(url()));
    const int first = DatabaseConnection::insertStation(fullStation(QStringLiteral("D01")));
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path())); // the model's colours go to settings.ini here
    auto restore = qScopeGuard([&] { QDir::setCurrent(oldCwd); });
    StationTableModel model;
    StoreFollower follower(&model);
    follower.setInterval(50);
    QVERIFY(follower.start());

    // Another operator's program, on a connection of its own.
    {
        QSqlDatabase other = server->connect(QStringLiteral("other"));
        QVERIFY(other.isOpen());
        QSqlQuery q(other);
        QVERIFY(
            q.exec(QStringLiteral("UPDATE stations SET status = 'Veri indirildi', active = 1 WHERE id = %1")
                       .arg(first)));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO stations(title, name, code) VALUES('t', 'Yeni', 'D02')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(model.stations().at(0).status, QStringLiteral("Veri indirildi"), 10000);
    QVERIFY(model.stations().at(0).active);
    QCOMPARE(model.stations().at(1).name, QStringLiteral("Yeni"));
}

void tst_SharedStore::headlessOnceFromTheServer_passwordNeverShown()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator logger;
    QVERIFY2(logger.start(dir.path(), QStringLiteral("healthy"), R"({"station": {"code": "H01"}})"),
             qPrintable(logger.error()));
    // The server trusts the socket; the password is only there to be hidden.
    const QString withPassword = server->url().replace(server->user() + QLatin1Char('@'),
                                                       server->user() + QStringLiteral(":hunter2@"));

    auto tqm510 = [&](const QStringList &args, QByteArray *output) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(qEnvironmentVariable("TQM510"),
                QStringList{QStringLiteral("--workdir"), dir.path(), QStringLiteral("--verbose")} + args);
        if (!p.waitForFinished(60000))
            return -1;
        *output += p.readAll();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QByteArray output;
    QCOMPARE(tqm510({QStringLiteral("--database"), withPassword, QStringLiteral("--add-station"),
                     QStringLiteral("H01,127.0.0.1,%1").arg(logger.port)},
                    &output),
             0);
    QCOMPARE(tqm510({QStringLiteral("--database"), withPassword, QStringLiteral("--headless"),
                     QStringLiteral("--once")},
                    &output),
             0);
    // A database the server does not have: refused, and said why.
    QString wrong = withPassword;
    wrong.replace(QStringLiteral("/stations"), QStringLiteral("/nosuchdb"));
    QCOMPARE(
        tqm510({QStringLiteral("--database"), wrong, QStringLiteral("--headless"), QStringLiteral("--once")},
               &output),
        1);
    QVERIFY2(output.contains("nosuchdb"), output);
    QVERIFY2(!output.contains("hunter2"), output);

    DatabaseConnection db;
    QVERIFY(db.open(url()));
    QSqlQuery status(QStringLiteral("SELECT status, last_connection_time FROM stations"));
    QVERIFY(status.next());
    QVERIFY2(!status.value(0).toString().isEmpty(), "the visit's status reached the server");
    QVERIFY(!status.value(1).toString().isEmpty());
    QVERIFY(!status.next());
    // The visit statistics live on the server too.
    QSqlQuery stats(QStringLiteral("SELECT visits, successes FROM station_stats"));
    QVERIFY(stats.next());
    QCOMPARE(stats.value(0).toInt(), 1);
    QCOMPARE(stats.value(1).toInt(), 1);
    QVERIFY(!QDir(dir.filePath(QStringLiteral("files/H01"))).entryList({QStringLiteral("*.xml")}).isEmpty());
}

void tst_SharedStore::twoCollectorsAtOnce_eachStationVisitedOnce()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    constexpr int stations = 20;
    std::vector<std::unique_ptr<Simulator>> loggers;
    QString error;
    QVERIFY2(startLoggers(dir.path(), QStringLiteral("S"), stations, &loggers, &error), qPrintable(error));
    QStringList add;
    for (int i = 0; i < stations; ++i) {
        const QString code = QStringLiteral("S%1").arg(i, 2, 10, QChar('0'));
        add << QStringLiteral("--add-station")
            << QStringLiteral("%1,127.0.0.1,%2,%3")
                   .arg(code)
                   .arg(loggers.at(size_t(i))->port)
                   .arg(dir.filePath("files/" + code));
    }
    QObject owner;
    QProcess *adding = collector(dir.filePath("a"), add, &owner);
    QVERIFY(adding->waitForFinished(30000));
    QCOMPARE(adding->exitCode(), 0);

    // Started at the same moment, on the same list.
    QProcess *a = collector(dir.filePath("a"), {"--headless", "--once", "--collector-id", "a"}, &owner);
    QProcess *b = collector(dir.filePath("b"), {"--headless", "--once", "--collector-id", "b"}, &owner);
    QVERIFY(a->waitForFinished(120000));
    QVERIFY(b->waitForFinished(120000));
    const QByteArray linesA = a->readAllStandardOutput(), linesB = b->readAllStandardOutput();
    // One that found every station taken by the other visits nothing and
    // fails (its message is checked where collectors share values); else
    // both succeed.
    QCOMPARE(a->exitCode(), linesA.isEmpty() ? 1 : 0);
    QCOMPARE(b->exitCode(), linesB.isEmpty() ? 1 : 0);

    for (int i = 0; i < stations; ++i) {
        const QString code = QStringLiteral("S%1").arg(i, 2, 10, QChar('0'));
        // One visit: the names are read once to check the station and once to download.
        QFile log(dir.filePath(code + ".log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray requests = log.readAll();
        QVERIFY2(requests.count("RKL") == 2,
                 qPrintable(code + ": " + QString::number(requests.count("RKL") / 2) + " visits"));
        QVERIFY(linesA.contains("\t" + code.toUtf8() + "\t") != linesB.contains("\t" + code.toUtf8() + "\t"));
        // Every value the logger recorded, once.
        const QStringList files = QDir(dir.filePath("files/" + code)).entryList({"*.xml"});
        QCOMPARE(files.size(), 1);
        const QString mismatch = datatruth::wholeTruthMismatch(
            loggers.at(size_t(i))->truthPath(),
            datatruth::readXml(dir.filePath("files/" + code + "/" + files.first())));
        QVERIFY2(mismatch.isEmpty(), qPrintable(code + ": " + mismatch));
    }
    // Both gave their leases back when they ended.
    DatabaseConnection db;
    QVERIFY(db.open(url()));
    QSqlQuery q(QStringLiteral("SELECT count(*) FROM station_leases WHERE holder <> ''"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

void tst_SharedStore::killedCollectorsStationsAreTakenOver()
{
    QTemporaryDir dir;
    QObject owner;
    QStringList add;
    for (int i = 0; i < 4; ++i)
        add << QStringLiteral("--add-station") << QStringLiteral("K%1,127.0.0.1,%2").arg(i).arg(closedPort());
    QProcess *adding = collector(dir.filePath("a"), add, &owner);
    QVERIFY(adding->waitForFinished(30000));
    QCOMPARE(adding->exitCode(), 0);

    qputenv("TQM510_LEASE_SECONDS", "3");
    qputenv("TQM510_LEASE_RENEW_MS", "500");
    auto restore = qScopeGuard([] {
        qunsetenv("TQM510_LEASE_SECONDS");
        qunsetenv("TQM510_LEASE_RENEW_MS");
    });
    DatabaseConnection db;
    QVERIFY(db.open(url()));
    auto holders = []() {
        QMap<QString, int> out;
        QSqlQuery q(QStringLiteral("SELECT holder, count(*) FROM station_leases GROUP BY holder"));
        while (q.next())
            out.insert(q.value(0).toString(), q.value(1).toInt());
        return out;
    };
    QProcess *a = collector(dir.filePath("a"), {"--headless", "--collector-id", "a"}, &owner);
    QTRY_COMPARE_WITH_TIMEOUT(holders().value("a"), 4, 20000);
    QProcess *b = collector(dir.filePath("b"), {"--headless", "--collector-id", "b"}, &owner);
    // b joins: a gives back half.
    QTRY_COMPARE_WITH_TIMEOUT(holders().value("b"), 2, 20000);
    QCOMPARE(holders().value("a"), 2);

    ::kill(pid_t(a->processId()), SIGKILL);
    QVERIFY(a->waitForFinished(10000));
    // a's leases expire (3 s) and b takes them, without a's help.
    QTRY_COMPARE_WITH_TIMEOUT(holders().value("b"), 4, 20000);

    ::kill(pid_t(b->processId()), SIGTERM);
    QVERIFY(b->waitForFinished(20000));
    QCOMPARE(b->exitCode(), 0);
    QCOMPARE(holders().value("b"), 0); // given back at its stop
}

void tst_SharedStore::takeoverResumesWhereTheOtherSaved()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator logger;
    QVERIFY2(logger.start(dir.path(), QStringLiteral("H01"), R"({"station": {"code": "H01"}})"),
             qPrintable(logger.error()));
    // A folder relative to each collector's own working folder: neither sees
    // the other's files.
    QObject owner;
    QProcess *adding =
        collector(dir.filePath("a"),
                  {"--add-station", QStringLiteral("H01,127.0.0.1,%1,files/H01").arg(logger.port)}, &owner);
    QVERIFY(adding->waitForFinished(30000));
    QCOMPARE(adding->exitCode(), 0);
    // The second one runs from another folder (as a service runs in /):
    // its files still go into its working folder.
    auto once = [&](const QString &folder) {
        QDir().mkpath(folder);
        auto *p = new QProcess(&owner);
        p->setWorkingDirectory(folder.endsWith(QLatin1String("/b")) ? dir.path() : folder);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(qEnvironmentVariable("TQM510"),
                 {"--workdir", folder, "--database", server->url(), "--headless", "--once"});
        return p->waitForFinished(60000) && p->exitCode() == 0;
    };
    QVERIFY(once(dir.filePath("a")));
    const QStringList first = QDir(dir.filePath("a/files/H01")).entryList({"*.xml"});
    QCOMPARE(first.size(), 1);
    const QString mismatch = datatruth::wholeTruthMismatch(
        logger.truthPath(), datatruth::readXml(dir.filePath("a/files/H01/" + first.first())));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    // The second collector has no file, but the store says where the first stopped.
    QFile log(dir.filePath("H01.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray before = log.readAll();
    const int firstPages = before.count("AKT page=");
    QVERIFY(firstPages > 1);
    QVERIFY(once(dir.filePath("b")));
    const QByteArray after = log.readAll();
    // From where the first collector stopped: its last page, then the end marker.
    QVERIFY2(!after.contains("AKT page=0 buffer=0"), after);
    QVERIFY2(after.count("AKT page=") <= 2, after);
    QVERIFY2(after.contains(QStringLiteral("AKT page=%1 ").arg(firstPages - 2).toUtf8()), after);
    const QStringList second = QDir(dir.filePath("b/files/H01")).entryList({"*.xml"});
    QCOMPARE(second, first); // named as usual, in its own folder
    // Both files together hold every value once: nothing downloaded twice.
    const QString together = datatruth::wholeTruthMismatch(
        logger.truthPath(), datatruth::readXml(dir.filePath("a/files/H01/" + first.first())) +
                                datatruth::readXml(dir.filePath("b/files/H01/" + second.first())));
    QVERIFY2(together.isEmpty(), qPrintable(together));
}

void tst_SharedStore::collectingTakesLeasesPausingGivesThemBack()
{
    // What the window does with Start and Pause on a shared store.
    DatabaseConnection db;
    QVERIFY(db.open(url()));
    QList<int> ids;
    for (int i = 0; i < 3; ++i) {
        DBStation s = fullStation(QStringLiteral("L%1").arg(i));
        s.active = i < 2;
        s.ip = QStringLiteral("127.0.0.1");
        s.port = closedPort();
        // L0 was visited elsewhere a moment ago, L1 never.
        s.last_connection_time = i == 0 ? QDateTime::currentDateTime() : QDateTime();
        ids << DatabaseConnection::insertStation(s);
    }
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restore = qScopeGuard([&] { QDir::setCurrent(oldCwd); });
    StationTableModel model;
    WorkerController controller(&model);
    LeaseKeeper leases(&model, &controller, QStringLiteral("window"));
    QSignalSpy statuses(&controller, &WorkerController::stationStatusPublished);

    controller.startCollecting();
    leases.start();
    QCOMPARE(leases.held(), (QSet<int>{ids.at(0), ids.at(1)})); // the active ones
    // L1 is due at once; L0 not before its period is over.
    QTRY_VERIFY_WITH_TIMEOUT(!statuses.isEmpty(), 10000);
    for (const QList<QVariant> &status : qAsConst(statuses))
        QCOMPARE(status.at(0).value<DBStation>().id, ids.at(1));

    // "Update Station Data" of a station another collector holds names it
    // (on one line, whatever its name) and visits nothing; one of ours goes.
    QSqlQuery other;
    QVERIFY(other.exec(QStringLiteral("INSERT INTO station_leases(station_id, holder, expires_at, epoch) "
                                      "VALUES(%1, E'rogue\\nname', now() + interval '1 minute', 1)")
                           .arg(ids.at(2))));
    statuses.clear();
    QString holder;
    QVERIFY(!controller.updateStationData(2, &holder));
    QCOMPARE(holder, QStringLiteral("rogue name"));
    QVERIFY(controller.updateStationData(1, &holder));
    QTRY_VERIFY_WITH_TIMEOUT(!statuses.isEmpty(), 10000);
    for (const QList<QVariant> &status : qAsConst(statuses))
        QVERIFY(status.at(0).value<DBStation>().id != ids.at(2));

    controller.pauseCollecting();
    leases.releaseAll();
    QSqlQuery q(QStringLiteral(
        "SELECT count(*) FROM station_leases WHERE holder <> '' AND holder <> E'rogue\\nname'"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    controller.stopCollecting();
}

void tst_SharedStore::runningCollectorsVisitOncePerPeriod_andTakeOverAKilledOne()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    // Minutes of 6 s, leases of 3 s renewed every 0.5 s.
    constexpr int minuteMs = 6000;
    qputenv("TQM510_MINUTE_MS", QByteArray::number(minuteMs));
    qputenv("TQM510_LEASE_SECONDS", "3");
    qputenv("TQM510_LEASE_RENEW_MS", "500");
    auto restore = qScopeGuard([] {
        qunsetenv("TQM510_MINUTE_MS");
        qunsetenv("TQM510_LEASE_SECONDS");
        qunsetenv("TQM510_LEASE_RENEW_MS");
    });
    QTemporaryDir dir;
    constexpr int stations = 20;
    std::vector<std::unique_ptr<Simulator>> loggers;
    QString error;
    QVERIFY2(startLoggers(dir.path(), QStringLiteral("P"), stations, &loggers, &error), qPrintable(error));
    QStringList add;
    for (int i = 0; i < stations; ++i) {
        // Period 1; each collector's files under its own working folder.
        add << "--add-station"
            << QStringLiteral("P%1,127.0.0.1,%2,files/P%1")
                   .arg(i, 2, 10, QChar('0'))
                   .arg(loggers.at(size_t(i))->port);
    }
    QObject owner;
    QProcess *adding = collector(dir.filePath("a"), add, &owner);
    QVERIFY(adding->waitForFinished(30000));
    QCOMPARE(adding->exitCode(), 0);
    {
        DatabaseConnection db;
        QVERIFY(db.open(url()));
        QVERIFY(QSqlQuery().exec(QStringLiteral("UPDATE stations SET connection_period = 1")));
        DatabaseConnection::close();
    }

    // The start of every visit, per station, read from the loggers' request logs.
    QVector<QList<qint64>> visits(stations);
    QVector<int> seen(stations, 0);
    QElapsedTimer clock;
    clock.start();
    QTimer watch;
    watch.setInterval(50);
    connect(&watch, &QTimer::timeout, [&] {
        for (int i = 0; i < stations; ++i) {
            QFile log(dir.filePath(QStringLiteral("P%1.log").arg(i, 2, 10, QChar('0'))));
            if (!log.open(QIODevice::ReadOnly))
                continue;
            // Two reads of the names per visit: the check and the download.
            const int starts = (log.readAll().count("RKL") + 1) / 2;
            for (; seen[i] < starts; ++seen[i])
                visits[i] << clock.elapsed();
        }
    });
    watch.start();

    auto startIn = [&](const QString &name) {
        QDir().mkpath(dir.filePath(name));
        auto *p = new QProcess(&owner);
        p->setWorkingDirectory(dir.filePath(name));
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(qEnvironmentVariable("TQM510"), {"--workdir", dir.filePath(name), "--database",
                                                  server->url(), "--headless", "--collector-id", name});
        return p;
    };
    QProcess *a = startIn("a");
    QTRY_VERIFY_WITH_TIMEOUT(std::count(seen.cbegin(), seen.cend(), 0) == 0, 20000);
    QProcess *b = startIn("b");
    // Two more periods with both running, then one without a.
    QTest::qWait(2 * minuteMs);
    const qint64 killedAt = clock.elapsed();
    ::kill(pid_t(a->processId()), SIGKILL);
    QVERIFY(a->waitForFinished(10000));
    const QVector<int> beforeKill = seen;
    QTest::qWait(3000 + 2 * minuteMs);
    watch.stop();
    ::kill(pid_t(b->processId()), SIGTERM);
    QVERIFY(b->waitForFinished(20000));

    for (int i = 0; i < stations; ++i) {
        const QList<qint64> &v = visits.at(i);
        // Never visited twice within a period, by one collector or the two
        // (stored times are whole seconds, hence the margin). The one
        // exception: a visit the killed collector had begun but not yet
        // stored is made again by the one that takes the station over, once
        // the lease has expired.
        for (int k = 1; k < v.size(); ++k) {
            const bool takeover = v.at(k) > killedAt && v.at(k) <= killedAt + 3000 + minuteMs;
            QVERIFY2(takeover || v.at(k) - v.at(k - 1) > minuteMs * 6 / 10,
                     qPrintable(
                         QStringLiteral("station %1: visits %2 ms apart").arg(i).arg(v.at(k) - v.at(k - 1))));
        }
        // Nor left out: after the kill too, b visits them all.
        QVERIFY2(seen.at(i) >= beforeKill.at(i) + 1,
                 qPrintable(QStringLiteral("station %1 not taken over").arg(i)));
        // Every value once, across both collectors' files.
        const QString code = QStringLiteral("P%1").arg(i, 2, 10, QChar('0'));
        const datatruth::Saved saved =
            datatruth::readFolders({dir.filePath("a/files/" + code), dir.filePath("b/files/" + code)});
        const QString mismatch = datatruth::wholeTruthMismatch(loggers.at(size_t(i))->truthPath(), saved);
        QVERIFY2(mismatch.isEmpty(), qPrintable(code + ": " + mismatch));
    }
}

void tst_SharedStore::urlParametersReachTheServer()
{
    DatabaseUrl u;
    QString error;
    QVERIFY2(
        DatabaseUrl::parse(server->url() + QStringLiteral("?sslmode=disable&application_name=tqm510%20test"),
                           &u, &error),
        qPrintable(error));
    DatabaseConnection db;
    QVERIFY2(db.open(u), qPrintable(DatabaseConnection::lastOpenError()));
    QSqlQuery q;
    QVERIFY(
        q.exec(QStringLiteral("SELECT application_name FROM pg_stat_activity WHERE pid = pg_backend_pid()")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("tqm510 test"));
    // No statement waits without end.
    QVERIFY(q.exec(
        QStringLiteral("SELECT current_setting('statement_timeout'), current_setting('lock_timeout')")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("15s"));
    QCOMPARE(q.value(1).toString(), QStringLiteral("10s"));
}

void tst_SharedStore::operatorsEditSurvivesTheVisit_everyVisitOfTwoCollectorsCounted()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator logger;
    QVERIFY2(logger.start(dir.path(), QStringLiteral("V01"), R"({"station": {"code": "V01"}})"),
             qPrintable(logger.error()));
    DatabaseConnection db;
    QVERIFY(db.open(url()));
    DBStation s = fullStation(QStringLiteral("V01"));
    s.code = QStringLiteral("V01");
    s.ip = QStringLiteral("127.0.0.1");
    s.port = logger.port;
    s.email = false;
    s.download_data = true;
    s.file_path = dir.filePath(QStringLiteral("files"));
    const int id = DatabaseConnection::insertStation(s);
    QVERIFY(id > 0);
    const QString oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restore = qScopeGuard([&] {
        QDir::setCurrent(oldCwd);
        QSqlDatabase::removeDatabase(QStringLiteral("editor"));
    });
    // Another window, on a connection of its own.
    QSqlDatabase editor = server->connect(QStringLiteral("editor"));
    QVERIFY(editor.isOpen());

    StationTableModel model;
    // Two collectors, each starting with the statistics it read at its start.
    WorkerController first(&model);
    WorkerController second(&model);
    bool edited = false;
    connect(&first, &WorkerController::stationStatusPublished, this, [&] {
        if (edited)
            return;
        edited = true;
        QSqlQuery q(editor);
        QVERIFY(q.exec(
            QStringLiteral("UPDATE stations SET title = 'Düzeltilmiş', connection_period = 30 WHERE id = %1")
                .arg(id)));
    });
    constexpr int visits = 4;
    for (int k = 0; k < visits; ++k) {
        WorkerController &collector = k % 2 == 0 ? first : second;
        QSignalSpy ended(&collector, &WorkerController::stationVisitEnded);
        collector.updateStationData(0);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
        QVERIFY(!ended.first().at(1).toBool());
    }
    QVERIFY(edited);

    // The edit made while the visits ran is still there; the statuses too.
    QSqlQuery row(
        QStringLiteral("SELECT title, connection_period, status, last_connection_time FROM stations"));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), QStringLiteral("Düzeltilmiş"));
    QCOMPARE(row.value(1).toInt(), 30);
    QCOMPARE(row.value(2).toString(), model.stations().at(0).status);
    QVERIFY(!row.value(3).toString().isEmpty());

    // Every visit the logger saw is counted once, whichever collector made it.
    QFile log(dir.filePath(QStringLiteral("V01.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("RKL") / 2, visits);
    const auto stored = [] {
        QSqlQuery q(QStringLiteral("SELECT visits, successes, consecutive_failures FROM station_stats"));
        return q.next() ? QVector<int>{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()}
                        : QVector<int>();
    };
    QCOMPARE(stored(), (QVector<int>{visits, visits, 0}));
    QCOMPARE(second.monitor()->stats(id).visits, qint64(visits)); // from the store, not its own count

    // The editor holds the row: the visit's status waits for it on the
    // store's thread while the main loop goes on, and is stored once free.
    {
        MainLoopProbe probe;
        probe.setIntervalMs(5);
        QSqlQuery hold(editor);
        QVERIFY(hold.exec(QStringLiteral("BEGIN")));
        QVERIFY(hold.exec(QStringLiteral("SELECT id FROM stations WHERE id = %1 FOR UPDATE").arg(id)));
        QSignalSpy ended(&first, &WorkerController::stationVisitEnded);
        first.updateStationData(0);
        const auto waitingForLocks = [] {
            QSqlQuery q(
                QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"));
            return q.next() ? q.value(0).toInt() : -1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(waitingForLocks() > 0, 20000);
        // Told once its status is stored.
        QVERIFY(ended.isEmpty());
        QVERIFY(hold.exec(QStringLiteral("COMMIT")));
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        QVERIFY2(probe.maxLagSeconds() < 0.5, qPrintable(QString::number(probe.maxLagSeconds())));
        QCOMPARE(stored(), (QVector<int>{visits + 1, visits + 1, 0}));
    }

    // A visit reported while the server is away is kept and counted later.
    StationMonitor *monitor = second.monitor();
    monitor->setStoreRetryInterval(50);
    QVERIFY2(server->stopServer(), qPrintable(server->error()));
    VisitReport failed;
    failed.id = id;
    failed.result = VisitReport::NoConnection;
    failed.ended = QDateTime::currentDateTime();
    monitor->onVisitReport(failed);
    QCOMPARE(monitor->keptReportCount(), 1);
    QVERIFY2(server->startServer(), qPrintable(server->error()));
    QTRY_COMPARE_WITH_TIMEOUT(monitor->keptReportCount(), 0, 40000);
    // Stored on the collectors' store thread; this test's own connection
    // went with the server.
    QVERIFY(DatabaseConnection::reconnect());
    QCOMPARE(stored(), (QVector<int>{visits + 2, visits + 1, 1}));
}

QTEST_GUILESS_MAIN(tst_SharedStore)
#include "tst_sharedstore.moc"
