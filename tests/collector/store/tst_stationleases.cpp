// Station leases between collectors on a PostgreSQL server the test starts:
// shares, expiry, giving back, and collectors taking at the same moment.

#include "store/stationleases.h"
#include "support/postgresserver.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

QList<int> range(int from, int to)
{
    QList<int> out;
    for (int i = from; i <= to; ++i)
        out << i;
    return out;
}

} // namespace

class tst_StationLeases : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void fairShareAfterASecondCollectorJoins();
    void expiredLeasesAreTakenOver_releasedAtOnce();
    void collectorsTakingAtOnceNeverShareAStation();

private:
    QString open(const QString &name);

    std::unique_ptr<PostgresServer> server;
    QStringList connections;
};

void tst_StationLeases::initTestCase()
{
    if (!PostgresServer::available())
        QSKIP("the PostgreSQL server programs are not installed (Debian package postgresql)");
    server = std::make_unique<PostgresServer>();
    QVERIFY2(server->start(), qPrintable(server->error()));
    open(QStringLiteral("setup"));
    QVERIFY(StationLeases(QStringLiteral("setup"), 120, QStringLiteral("setup")).createTables());
}

void tst_StationLeases::init()
{
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("setup")));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM station_leases")));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM collectors")));
}

void tst_StationLeases::cleanupTestCase()
{
    for (const QString &name : qAsConst(connections)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    server.reset();
}

QString tst_StationLeases::open(const QString &name)
{
    if (!connections.contains(name)) {
        const QSqlDatabase db = server->connect(name);
        if (!db.isOpen())
            qWarning("%s", qPrintable(db.lastError().text()));
        connections << name;
    }
    return name;
}

void tst_StationLeases::fairShareAfterASecondCollectorJoins()
{
    StationLeases a(QStringLiteral("a"), 120, open(QStringLiteral("a")));
    StationLeases b(QStringLiteral("b"), 120, open(QStringLiteral("b")));
    const QList<int> wanted = range(1, 20);
    bool ok = false;
    QCOMPARE(a.renew(wanted, {}, &ok).size(), 20); // alone: everything
    QVERIFY(ok);
    QVERIFY(b.renew(wanted, {}, &ok).isEmpty()); // all held
    QVERIFY(ok);
    // Holding on (--once after its start) keeps everything it took, share or not.
    QCOMPARE(a.renew(wanted, {}, &ok, false).size(), 20);
    // a learns of b and gives back its excess, but not a station in a visit.
    const QSet<int> heldByA = a.renew(wanted, {20}, &ok);
    QCOMPARE(heldByA.size(), 10);
    QVERIFY(heldByA.contains(20));
    const QSet<int> heldByB = b.renew(wanted, {}, &ok);
    QCOMPARE(heldByB.size(), 10);
    QVERIFY(!heldByA.intersects(heldByB));
    QCOMPARE(heldByA + heldByB, QSet<int>(wanted.cbegin(), wanted.cend()));

    // A station no longer wanted (made inactive) is given back.
    QList<int> fewer = wanted;
    fewer.removeAll(20);
    QVERIFY(!a.renew(fewer, {}, &ok).contains(20));
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("a")));
    QVERIFY(q.exec(QStringLiteral("SELECT holder FROM station_leases WHERE station_id = 20")) && q.next());
    QCOMPARE(q.value(0).toString(), QString());
}

void tst_StationLeases::expiredLeasesAreTakenOver_releasedAtOnce()
{
    StationLeases dying(QStringLiteral("dying"), 1, open(QStringLiteral("a")));
    StationLeases heir(QStringLiteral("heir"), 120, open(QStringLiteral("b")));
    const QList<int> wanted = range(1, 6);
    bool ok = false;
    QCOMPARE(dying.renew(wanted, {}, &ok).size(), 6);
    QVERIFY(heir.renew(wanted, {}, &ok).isEmpty());
    // dying renews no more: its leases and its life end after a second.
    QTRY_COMPARE_WITH_TIMEOUT(heir.renew(wanted, {}, &ok).size(), 6, 10000);

    StationLeases other(QStringLiteral("other"), 120, open(QStringLiteral("a")));
    QVERIFY(other.renew(wanted, {}, &ok).isEmpty());
    QVERIFY(heir.release({1, 2}));
    QCOMPARE(other.renew(wanted, {}, &ok), (QSet<int>{1, 2}));
    QVERIFY(heir.releaseAll());
    QCOMPARE(other.renew(wanted, {}, &ok).size(), 6);
}

void tst_StationLeases::collectorsTakingAtOnceNeverShareAStation()
{
    // Four collectors on their own threads and connections, renewing
    // together many times: a station is never held by two.
    const QList<int> wanted = range(1, 40);
    QVector<QList<QSet<int>>> rounds(4);
    QList<QThread *> threads;
    for (int c = 0; c < 4; ++c) {
        threads << QThread::create([&, c]() {
            const QString name = QStringLiteral("thread%1").arg(c);
            {
                QSqlDatabase db = server->connect(name);
                if (db.isOpen()) {
                    StationLeases leases(name, 120, name);
                    for (int round = 0; round < 15; ++round) {
                        bool ok = false;
                        const QSet<int> held = leases.renew(wanted, {}, &ok);
                        if (ok)
                            rounds[c] << held;
                    }
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        });
        threads.last()->start();
    }
    for (QThread *t : qAsConst(threads)) {
        QVERIFY(t->wait(60000));
        delete t;
    }
    for (int c = 0; c < 4; ++c)
        QCOMPARE(rounds[c].size(), 15);
    // What each believes it holds at its end: disjoint, and what the store says.
    QSet<int> all;
    int total = 0;
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("setup")));
    for (int c = 0; c < 4; ++c) {
        total += rounds[c].last().size();
        all += rounds[c].last();
        q.prepare(QStringLiteral("SELECT station_id FROM station_leases WHERE holder = ?"));
        q.addBindValue(QStringLiteral("thread%1").arg(c));
        QVERIFY(q.exec());
        QSet<int> stored;
        while (q.next())
            stored << q.value(0).toInt();
        QCOMPARE(stored, rounds[c].last());
    }
    QCOMPARE(total, all.size());
    QVERIFY(!all.isEmpty());
}

QTEST_GUILESS_MAIN(tst_StationLeases)
#include "tst_stationleases.moc"
