// The station store on a PostgreSQL server the test starts itself: the same
// table and rows as the embedded store, statuses kept while the server is
// gone, and the headless collector visiting from it.

#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "store/databaseconnection.h"
#include "store/resumepoints.h"
#include "store/stationtablemodel.h"
#include "store/storefollower.h"
#include "support/postgresserver.h"

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

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

private:
    DatabaseUrl url() const;

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
    DatabaseConnection::close();

    // Opened again, the table is there and keeps its rows.
    QVERIFY(db.open(url()));
    stations = DatabaseConnection::selectStations();
    QCOMPARE(stations.size(), 1);
    QVERIFY(stations.at(0).active);
    QSqlQuery status(QStringLiteral("SELECT status FROM stations WHERE id = 2"));
    QVERIFY(status.next());
    QCOMPARE(status.value(0).toString(), QStringLiteral("Veri indirildi"));
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
    const ResumePoints::Point saved{12, 300, QDateTime(QDate(2026, 12, 1), QTime(6, 10))};
    QVERIFY(points.store(7, saved, QStringLiteral("/data/H01/H01_01122026.xml")));
    QVERIFY(points.store(7, {12, 400, QDateTime()}, QStringLiteral("/other/H01_01122026.xml")));
    QVERIFY(points.load(7, &point));
    QCOMPARE(point.page, 12);
    QCOMPARE(point.buffer, 400);
    QVERIFY(!point.timeBase.isValid());
    QVERIFY(points.store(7, saved, QString()));
    QVERIFY(points.load(7, &point));
    QCOMPARE(point.timeBase, saved.timeBase);

    // A file behind the store (another collector saved later) yields to it,
    // a file ahead of it wins; pages weigh more than buffers.
    const ResumePoints::Point file{11, 500, QDateTime(QDate(2026, 11, 30), QTime(0, 0))};
    QCOMPARE(ResumePoints::later(file, point).buffer, 300);
    QCOMPARE(ResumePoints::later({13, 0, QDateTime()}, point).page, 13);
    QCOMPARE(ResumePoints::later(point, ResumePoints::Point()).page, 12);
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
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("other"));
        other.setHostName(server->socketDir());
        other.setDatabaseName(QStringLiteral("stations"));
        other.setUserName(server->user());
        QVERIFY(other.open());
        QSqlQuery q(other);
        QVERIFY(q.exec(QStringLiteral("UPDATE stations SET status = 'Veri indirildi', active = 1 WHERE id = %1")
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
    const QString withPassword =
        server->url().replace(server->user() + QLatin1Char('@'), server->user() + QStringLiteral(":hunter2@"));

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
    QCOMPARE(tqm510({QStringLiteral("--database"), withPassword, QStringLiteral("--headless"), QStringLiteral("--once")},
                    &output),
             0);
    // A database the server does not have: refused, and said why.
    QString wrong = withPassword;
    wrong.replace(QStringLiteral("/stations"), QStringLiteral("/nosuchdb"));
    QCOMPARE(tqm510({QStringLiteral("--database"), wrong, QStringLiteral("--headless"), QStringLiteral("--once")},
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
    QVERIFY(!QDir(dir.filePath(QStringLiteral("files/H01"))).entryList({QStringLiteral("*.xml")}).isEmpty());
}

QTEST_GUILESS_MAIN(tst_SharedStore)
#include "tst_sharedstore.moc"
