#include "../common/stationfixtures.h"
#include "collection/storethread.h"
#include "store/databaseconnection.h"

#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

class tst_DatabaseConnection : public QObject
{
    Q_OBJECT

private slots:
    // The store's "Database Error" lines are debug output, off by default;
    // the tests that expect them switch them on.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("collector.store.debug=true")); }
    void init();
    void cleanup();

    void createsTableOnFreshDatabase();
    void secondStartKeepsTableAndRows();
    void stationCodesAreUnique();
    void opensInWalWithFullSync();
    void failsOnUncreatableFile();

    void insertStoresEveryColumn();
    void selectRestoresEveryFieldButStatus();
    void selectReturnsRowsInIdOrder();
    void emptyEmailListRoundTrip();
    void quotesInEveryTextColumn();
    void updateTouchesOnlyItsRow();
    void deleteRemovesOnlyItsRow();

    void refusedInsertLeavesNoRow();
    void refusedFullWriteRollsBackInsert();
    void failedStatementsReportFalse();
    void busyDatabaseIsToldFromRefusal();

private:
    bool open();
    QVariantMap rawRow(int id);

    QTemporaryDir dir;
    QString path;
};

bool tst_DatabaseConnection::open()
{
    DatabaseConnection db;
    return db.connectToDatabase(path, QString(), 0, QString(), QString());
}

QVariantMap tst_DatabaseConnection::rawRow(int id)
{
    QVariantMap row;
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT * FROM stations WHERE id = ?"));
    q.addBindValue(id);
    if (q.exec() && q.next()) {
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i)
            row.insert(rec.fieldName(i), q.value(i));
    }
    return row;
}

void tst_DatabaseConnection::init()
{
    QVERIFY(dir.isValid());
    static int n = 0;
    path = dir.filePath(QStringLiteral("data%1.db").arg(++n));
    QVERIFY(open());
}

void tst_DatabaseConnection::cleanup()
{
    DatabaseConnection::close();
}

void tst_DatabaseConnection::createsTableOnFreshDatabase()
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("PRAGMA table_info(stations)")));
    QStringList names;
    QStringList types;
    QStringList notNull;
    QStringList defaults;
    while (q.next()) {
        names << q.value(1).toString();
        types << q.value(2).toString();
        notNull << q.value(3).toString();
        defaults << q.value(4).toString();
    }
    QCOMPARE(names, QStringList({"id",
                                 "title",
                                 "name",
                                 "code",
                                 "region",
                                 "basin",
                                 "no",
                                 "device_type",
                                 "phone",
                                 "ip",
                                 "port",
                                 "connection_period",
                                 "last_connection_time",
                                 "active",
                                 "coordinate",
                                 "email",
                                 "emaillist",
                                 "file_path",
                                 "file_name",
                                 "export_text",
                                 "export_excel",
                                 "status",
                                 "download_data"}));
    QCOMPARE(types.at(0), QStringLiteral("INTEGER"));
    QCOMPARE(types.at(1), QStringLiteral("TEXT"));
    QCOMPARE(notNull.mid(1, 3), QStringList({"1", "1", "1"}));
    QCOMPARE(notNull.at(7), QStringLiteral("0"));
    QCOMPARE(defaults.at(10), QStringLiteral("4380"));
    QCOMPARE(defaults.at(11), QStringLiteral("60"));
    QCOMPARE(defaults.at(14), QStringLiteral("'0.000000, 0.000000'"));
    QCOMPARE(defaults.at(22), QStringLiteral("1"));

    QVERIFY(q.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'stations'")) && q.next());
    QVERIFY(q.value(0).toString().contains(QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")));

    // Defaults of a row inserted with only the required columns.
    QVERIFY(q.exec(QStringLiteral("INSERT INTO stations(title, name, code) VALUES('t', 'n', 'c')")));
    const QList<DBStation> loaded = DatabaseConnection::selectStations();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.at(0).port, 4380);
    QCOMPARE(loaded.at(0).connection_period, 60);
    QVERIFY(loaded.at(0).export_text && loaded.at(0).export_excel && loaded.at(0).download_data);
    QVERIFY(!loaded.at(0).active);
}

void tst_DatabaseConnection::secondStartKeepsTableAndRows()
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'stations'")) && q.next());
    const QString before = q.value(0).toString();
    const int id = DatabaseConnection::insertStation(fullStation());
    QVERIFY(id > 0);

    DatabaseConnection::close();
    QVERIFY(open());
    QSqlQuery again;
    QVERIFY(again.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'stations'")) &&
            again.next());
    QCOMPARE(again.value(0).toString(), before);
    const QList<DBStation> loaded = DatabaseConnection::selectStations();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.at(0).id, id);
}

// Two stations with one code would share a folder and files: the store
// refuses the second; a store that already holds such a pair still opens
// and names the codes, and refuses duplicates once they are renamed.
void tst_DatabaseConnection::stationCodesAreUnique()
{
    const int first = DatabaseConnection::insertStation(fullStation(QStringLiteral("A")));
    QVERIFY(first > 0);
    QCOMPARE(DatabaseConnection::insertStation(fullStation(QStringLiteral("A"))), -1);
    QVERIFY(DatabaseConnection::lastWriteError().contains(QStringLiteral("UNIQUE")));
    DBStation renamed = fullStation(QStringLiteral("B"));
    const int second = DatabaseConnection::insertStation(renamed);
    QVERIFY(second > 0);
    renamed.id = second;
    renamed.code = QStringLiteral("CODEA");
    QVERIFY(!DatabaseConnection::updateStation(renamed));
    QCOMPARE(DatabaseConnection::selectStations().at(1).code, QStringLiteral("CODEB"));
    QVERIFY(DatabaseConnection::storedDuplicateCodes().isEmpty());

    // A store from before the rule, with a duplicate.
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("DROP INDEX stations_code_unique")));
    QVERIFY(q.exec(QStringLiteral("UPDATE stations SET code = 'CODEA'")));
    DatabaseConnection::close();
    QVERIFY(open());
    QCOMPARE(DatabaseConnection::selectStations().size(), 2);
    QCOMPARE(DatabaseConnection::storedDuplicateCodes(), QStringList{QStringLiteral("CODEA")});
    renamed.code = QStringLiteral("CODEB");
    QVERIFY(DatabaseConnection::updateStation(renamed));
    DatabaseConnection::close();
    QVERIFY(open());
    QVERIFY(DatabaseConnection::storedDuplicateCodes().isEmpty());
    QCOMPARE(DatabaseConnection::insertStation(fullStation(QStringLiteral("B"))), -1);
}

void tst_DatabaseConnection::opensInWalWithFullSync()
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
    QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous")) && q.next());
    QCOMPARE(q.value(0).toInt(), 2); // FULL

    // SQLite's own default (2 MiB a connection) let a long run creep upwards;
    // the store thread's connection is capped as well as the main one.
    const int capped = -DatabaseConnection::pageCacheKiB;
    QVERIFY(q.exec(QStringLiteral("PRAGMA cache_size")) && q.next());
    QCOMPARE(q.value(0).toInt(), capped);
    int onThread = 0;
    {
        StoreThread thread(DatabaseUrl(), QStringLiteral("capped-store"));
        thread.runAndWait([&onThread] {
            QSqlQuery there(QSqlDatabase::database(QStringLiteral("capped-store")));
            if (there.exec(QStringLiteral("PRAGMA cache_size")) && there.next())
                onThread = there.value(0).toInt();
        });
    }
    QCOMPARE(onThread, capped);
}

void tst_DatabaseConnection::failsOnUncreatableFile()
{
    DatabaseConnection::close();
    DatabaseConnection db;
    QVERIFY(!db.connectToDatabase(dir.filePath(QStringLiteral("missing/dir/data.db")), QString(), 0,
                                  QString(), QString()));
    DatabaseConnection::close();
    QVERIFY(open());
}

void tst_DatabaseConnection::insertStoresEveryColumn()
{
    const DBStation s = fullStation();
    const int id = DatabaseConnection::insertStation(s);
    QVERIFY(id > 0);
    const QVariantMap row = rawRow(id);
    QCOMPARE(row.value("title").toString(), s.title);
    QCOMPARE(row.value("name").toString(), s.name);
    QCOMPARE(row.value("code").toString(), s.code);
    QCOMPARE(row.value("region").toInt(), 7);
    QCOMPARE(row.value("basin").toInt(), 12);
    QCOMPARE(row.value("no").toInt(), 345);
    QCOMPARE(row.value("device_type").toString(), s.device_type);
    QCOMPARE(row.value("phone").toString(), s.phone);
    QCOMPARE(row.value("ip").toString(), s.ip);
    QCOMPARE(row.value("port").toInt(), 5001);
    QCOMPARE(row.value("connection_period").toInt(), 15);
    QCOMPARE(row.value("last_connection_time").toString(), QStringLiteral("2026-03-04 05:06:07"));
    QCOMPARE(row.value("active").toInt(), 1);
    QCOMPARE(row.value("coordinate").toString(), s.coordinate);
    QCOMPARE(row.value("email").toInt(), 1);
    QCOMPARE(row.value("emaillist").toString(), QStringLiteral("a@example.org,b@example.org"));
    QCOMPARE(row.value("file_path").toString(), s.file_path);
    QCOMPARE(row.value("file_name").toString(), s.file_name);
    QCOMPARE(row.value("export_text").toInt(), 0);
    QCOMPARE(row.value("export_excel").toInt(), 0);
    QCOMPARE(row.value("status").toString(), s.status);
    QCOMPARE(row.value("download_data").toInt(), 0);
}

void tst_DatabaseConnection::selectRestoresEveryFieldButStatus()
{
    DBStation s = fullStation();
    s.has_error = true;
    s.modified = true;
    s.values[3] = 4.5f;
    const int id = DatabaseConnection::insertStation(s);
    QVERIFY(id > 0);
    const QList<DBStation> loaded = DatabaseConnection::selectStations();
    QCOMPARE(loaded.size(), 1);
    const DBStation &l = loaded.at(0);
    QCOMPARE(l.id, id);
    QCOMPARE(l.title, s.title);
    QCOMPARE(l.name, s.name);
    QCOMPARE(l.code, s.code);
    QCOMPARE(l.region, s.region);
    QCOMPARE(l.basin, s.basin);
    QCOMPARE(l.no, s.no);
    QCOMPARE(l.device_type, s.device_type);
    QCOMPARE(l.phone, s.phone);
    QCOMPARE(l.ip, s.ip);
    QCOMPARE(l.port, s.port);
    QCOMPARE(l.connection_period, s.connection_period);
    QCOMPARE(l.last_connection_time, s.last_connection_time);
    QCOMPARE(l.active, s.active);
    QCOMPARE(l.coordinate, s.coordinate);
    QCOMPARE(l.email, s.email);
    QCOMPARE(l.emaillist, s.emaillist);
    QCOMPARE(l.file_path, s.file_path);
    QCOMPARE(l.file_name, s.file_name);
    QCOMPARE(l.export_text, s.export_text);
    QCOMPARE(l.export_excel, s.export_excel);
    QCOMPARE(l.download_data, s.download_data);
    // Only the stored settings come back; the worker's state starts afresh.
    QVERIFY(l.status.isEmpty());
    QVERIFY(!l.has_error);
    QVERIFY(!l.modified);
    for (float v : l.values)
        QCOMPARE(v, 0.0f);

    // An invalid connection time is stored as an empty text and stays invalid.
    DBStation never = l;
    never.last_connection_time = QDateTime();
    QVERIFY(DatabaseConnection::updateStation(never));
    QCOMPARE(rawRow(id).value("last_connection_time").toString(), QString());
    QVERIFY(!DatabaseConnection::selectStations().at(0).last_connection_time.isValid());
}

void tst_DatabaseConnection::selectReturnsRowsInIdOrder()
{
    QList<int> ids;
    for (const char *tag : {"x", "y", "z"})
        ids << DatabaseConnection::insertStation(fullStation(QString::fromLatin1(tag)));
    QVERIFY(DatabaseConnection::deleteStation(ids.at(1)));
    ids << DatabaseConnection::insertStation(fullStation(QStringLiteral("w")));
    const QList<DBStation> loaded = DatabaseConnection::selectStations();
    QCOMPARE(loaded.size(), 3);
    QCOMPARE(loaded.at(0).id, ids.at(0));
    QCOMPARE(loaded.at(1).id, ids.at(2));
    QCOMPARE(loaded.at(2).id, ids.at(3));
    QVERIFY(ids.at(3) > ids.at(2)); // ids are never reused
}

void tst_DatabaseConnection::emptyEmailListRoundTrip()
{
    DBStation s = fullStation();
    s.emaillist.clear();
    const int id = DatabaseConnection::insertStation(s);
    QVERIFY(id > 0);
    QCOMPARE(rawRow(id).value("emaillist").toString(), QString());
    QCOMPARE(rawRow(id).value("emaillist").isNull(), false);
    const DBStation loaded = DatabaseConnection::selectStations().at(0);
    QCOMPARE(loaded.emaillist, QStringList{QString()});
    QVERIFY(DatabaseConnection::updateStation(loaded));
    QCOMPARE(rawRow(id).value("emaillist").toString(), QString());
}

void tst_DatabaseConnection::quotesInEveryTextColumn()
{
    const int other = DatabaseConnection::insertStation(fullStation(QStringLiteral("other")));
    DBStation s;
    const QString nasty = QStringLiteral("O'Brien', title = 'hacked'; --");
    s.title = nasty + QStringLiteral(" title");
    s.name = QStringLiteral("O'Brien");
    s.code = QStringLiteral("'");
    s.device_type = nasty;
    s.phone = QStringLiteral("''");
    s.ip = QStringLiteral("host'name");
    s.coordinate = QStringLiteral("1'2");
    s.emaillist = QStringList{QStringLiteral("o'brien@example.org"), QStringLiteral("x\"y@example.org")};
    s.file_path = QStringLiteral("/tmp/O'Brien  double  spaces");
    s.file_name = QStringLiteral("O'Brien");
    s.status = QStringLiteral("Okunan istasyon kodu \"X'\". Okunan kod ile kayıtlı kod eşleşmiyor!");
    const int id = DatabaseConnection::insertStation(s);
    QVERIFY(id > 0);

    const QVariantMap row = rawRow(id);
    QCOMPARE(row.value("title").toString(), s.title);
    QCOMPARE(row.value("status").toString(), s.status);
    const QList<DBStation> loaded = DatabaseConnection::selectStations();
    QCOMPARE(loaded.size(), 2);
    const DBStation &l = loaded.at(1);
    QCOMPARE(l.title, s.title);
    QCOMPARE(l.name, s.name);
    QCOMPARE(l.code, s.code);
    QCOMPARE(l.device_type, s.device_type);
    QCOMPARE(l.phone, s.phone);
    QCOMPARE(l.ip, s.ip);
    QCOMPARE(l.coordinate, s.coordinate);
    QCOMPARE(l.emaillist, s.emaillist);
    QCOMPARE(l.file_path, s.file_path);
    QCOMPARE(l.file_name, s.file_name);
    QCOMPARE(loaded.at(0).id, other);
    QCOMPARE(loaded.at(0).title, QStringLiteral("Title other"));
}

void tst_DatabaseConnection::updateTouchesOnlyItsRow()
{
    const int a = DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    const int b = DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    DBStation changed = DatabaseConnection::selectStations().at(1);
    QCOMPARE(changed.id, b);
    changed.name = QStringLiteral("renamed");
    changed.port = 1;
    QVERIFY(DatabaseConnection::updateStation(changed));
    const QList<DBStation> loaded = DatabaseConnection::selectStations();
    QCOMPARE(loaded.at(0).id, a);
    QCOMPARE(loaded.at(0).name, QStringLiteral("Name a"));
    QCOMPARE(loaded.at(0).port, 5001);
    QCOMPARE(loaded.at(1).name, QStringLiteral("renamed"));
    QCOMPARE(loaded.at(1).port, 1);
}

void tst_DatabaseConnection::deleteRemovesOnlyItsRow()
{
    const int a = DatabaseConnection::insertStation(fullStation(QStringLiteral("a")));
    const int b = DatabaseConnection::insertStation(fullStation(QStringLiteral("b")));
    QVERIFY(DatabaseConnection::deleteStation(a));
    const QList<DBStation> loaded = DatabaseConnection::selectStations();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.at(0).id, b);
}

void tst_DatabaseConnection::refusedInsertLeavesNoRow()
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON stations WHEN NEW.code = 'bad' "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    DBStation s = fullStation();
    s.code = QStringLiteral("bad");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: .*refused")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: .*INSERT INTO stations")));
    QCOMPARE(DatabaseConnection::insertStation(s), -1);
    QVERIFY(DatabaseConnection::selectStations().isEmpty());
    // The connection is usable afterwards: no transaction was left open.
    QVERIFY(DatabaseConnection::insertStation(fullStation()) > 0);
    QCOMPARE(DatabaseConnection::selectStations().size(), 1);
}

void tst_DatabaseConnection::refusedFullWriteRollsBackInsert()
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON stations WHEN NEW.phone = 'bad' "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    DBStation s = fullStation();
    s.phone = QStringLiteral("bad");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: .*refused")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: UPDATE stations")));
    QCOMPARE(DatabaseConnection::insertStation(s), -1);
    QVERIFY(DatabaseConnection::selectStations().isEmpty());
}

void tst_DatabaseConnection::failedStatementsReportFalse()
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("DROP TABLE stations")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    QVERIFY(!DatabaseConnection::updateStation(fullStation()));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    QVERIFY(!DatabaseConnection::deleteStation(1));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QVERIFY(DatabaseConnection::selectStations().isEmpty());
}

void tst_DatabaseConnection::busyDatabaseIsToldFromRefusal()
{
    DBStation s = fullStation();
    s.id = DatabaseConnection::insertStation(s);
    QVERIFY(s.id > 0);
    s.status = QStringLiteral("Connecting..");
    {
        // Another connection holds the write lock.
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(path);
        QVERIFY(holder.open());
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));
        bool busy = false;
        QElapsedTimer clock;
        clock.start();
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: .*locked")));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
        QVERIFY(!DatabaseConnection::updateStations({s}, &busy));
        QVERIFY(busy);
        // Not SQLite's default five seconds of waiting.
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("ROLLBACK")));
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));

    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON stations "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    bool busy = true;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Database Error: ")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^SQL: ")));
    QVERIFY(!DatabaseConnection::updateStations({s}, &busy));
    QVERIFY(!busy);
    QVERIFY(q.exec(QStringLiteral("DROP TRIGGER refuse")));
    QVERIFY(DatabaseConnection::updateStations({s}, &busy));
    QCOMPARE(rawRow(s.id).value(QStringLiteral("status")).toString(), QStringLiteral("Connecting.."));
}

QTEST_GUILESS_MAIN(tst_DatabaseConnection)
#include "tst_databaseconnection.moc"
