#include "../common/metricsparser.h"
#include "../common/simulator.h"
#include "../common/smtpsink.h"
#include "../common/stationfixtures.h"
#include "nexil/configuration/configsnapshot.h"
#include "nexil/configuration/uploadcheck.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "support/postgresserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A station's configuration through visits of tqm510 and uploads of
// nexil-cli against the simulator, with the alert mails going to a sink.
class tst_ConfigHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void snapshotsCompareWhatUploadsSet();
    void uploadsFromHereExplainChangesOthersAreFlagged();
    void clockSetting_keptAsAConfirmedUpload();
    void sharedStore_cliUploadAndReadsOnTheServer();

private:
    // Runs a program with the test's loop turning (the mail sink needs it).
    int run(const QString &program, const QStringList &args, QString *out = nullptr, QString *err = nullptr,
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    QString uploadFile(const QString &name, const QString &channelName);
    QString status(int id);

    std::unique_ptr<QTemporaryDir> dir;
    QString bin;
};

void tst_ConfigHistory::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    bin = dir->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("data"))));
}

void tst_ConfigHistory::cleanup()
{
    DatabaseConnection::close();
    dir.reset();
}

int tst_ConfigHistory::run(const QString &program, const QStringList &args, QString *out, QString *err,
                           const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(bin);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    QDeadlineTimer deadline(90000);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(3000);
        return -1;
    }
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    const QString e = QString::fromUtf8(p.readAllStandardError());
    if (err)
        *err = e;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString tst_ConfigHistory::uploadFile(const QString &name, const QString &channelName)
{
    const QString path = dir->filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QJsonDocument(QJsonObject{{"channelNames", QJsonObject{{"names", QJsonArray{channelName}}}}})
                .toJson());
    return path;
}

QString tst_ConfigHistory::status(int id)
{
    DatabaseConnection db;
    if (!db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                              QString()))
        return QString();
    QString text;
    {
        QSqlQuery q;
        q.exec(QStringLiteral("SELECT status FROM stations WHERE id = %1").arg(id));
        if (q.next())
            text = q.value(0).toString();
    }
    DatabaseConnection::close();
    return text;
}

void tst_ConfigHistory::snapshotsCompareWhatUploadsSet()
{
    // Read back, the device's clock, voltage and instant values differ and
    // its calibration floats carry more digits than the upload wrote; only
    // configuration that an upload sets may count.
    SetupParameters setup;
    setup.stationName = QStringLiteral("SIM");
    setup.deviceTime = QDateTime::currentDateTime();
    setup.supplyVoltage = 12.6f;
    ChannelCalibrations cal;
    cal.units = QStringList{QStringLiteral("cm")};
    cal.gains = {0.1f};
    ChannelNames names;
    names.channelCount = 2;
    names.channelStates = {1, 0, 1};
    names.names = QStringList{QStringLiteral("Seviye"), QStringLiteral("Yagis")};
    ConfigSnapshot meant;
    meant.setSetup(setup);
    meant.setCalibrations(cal);
    meant.setNames(names);

    setup.deviceTime = setup.deviceTime.addSecs(300);
    setup.supplyVoltage = 11.9f;
    cal.gains = {0.1000001f};
    // A slot beyond the model's count reads as off, as it was sent.
    names.channelStates = {1, 0, 0};
    names.names[1] = QStringLiteral("Yagis Miktari");
    ConfigSnapshot read;
    read.setSetup(setup);
    read.setCalibrations(cal);
    read.setNames(names);

    const QList<ConfigChange> changes = ConfigSnapshot::diff(meant, read);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.first().record, QStringLiteral("channelNames"));
    QCOMPARE(changes.first().field, QStringLiteral("names[1]"));
    QCOMPARE(changes.first().describe(), QStringLiteral("Channel 2 name: Yagis → Yagis Miktari"));
    QVERIFY(meant.hash() != read.hash());
    QCOMPARE(meant.only({ConfigSnapshot::setupKey()}).hash(), read.only({ConfigSnapshot::setupKey()}).hash());

    // The wizard's report of a send whose setup went unanswered.
    UploadCheck check;
    check.setMeant(meant);
    check.sent(ConfigSnapshot::namesKey());
    check.sent(ConfigSnapshot::calibrationsKey());
    check.sent(ConfigSnapshot::setupKey(), UploadCheck::Outcome::NotAnswered);
    read.setNames([&] {
        ChannelNames n = names;
        n.names[1] = QStringLiteral("Yagis");
        return n;
    }());
    check.setReadBack(read);
    QCOMPARE(check.summary(),
             QStringLiteral(
                 "Channel names and calibrations confirmed; setup not confirmed: the device did not answer"));
    QVERIFY(!check.allConfirmed());
}

void tst_ConfigHistory::uploadsFromHereExplainChangesOthersAreFlagged()
{
    if (!Simulator::available())
        QSKIP("LOGGERSIM not set");
    Simulator sim;
    QVERIFY2(sim.start(dir->path(), QStringLiteral("logger"),
                       R"({"channels": [{"state": 1, "name": "Seviye", "code": 49}]})"),
             qPrintable(sim.error()));
    SmtpSink sink;
    const QString tqm510 = qEnvironmentVariable("TQM510");
    const QString cli = qEnvironmentVariable("NEXILCLI");
    const QString db = dir->filePath(QStringLiteral("data/data.db"));
    const QString code = QStringLiteral("D02A003");
    int id = 0;
    {
        DatabaseConnection connection;
        QVERIFY(connection.connectToDatabase(db, QString(), 0, QString(), QString()));
        DBStation s = fullStation(code);
        s.code = code;
        s.ip = QStringLiteral("127.0.0.1");
        s.port = sim.port;
        s.active = true;
        s.download_data = false;
        s.file_path = dir->filePath(QStringLiteral("files"));
        s.file_name = code;
        id = DatabaseConnection::insertStation(s);
        DatabaseConnection::close();
    }
    QVERIFY(id > 0);
    {
        QSettings ini(dir->filePath(QStringLiteral("bin/settings.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("SETTINGS/smtpServer"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("SETTINGS/smtpPort"), sink.port());
        ini.setValue(QStringLiteral("SETTINGS/clockSync"), false);
    }
    const QString metrics = dir->filePath(QStringLiteral("tqm510.prom"));
    const QStringList visit{QStringLiteral("--headless"), QStringLiteral("--once"),
                            QStringLiteral("--metrics-file"), metrics};
    const QStringList target{QStringLiteral("--tcp"),           QStringLiteral("127.0.0.1:%1").arg(sim.port),
                             QStringLiteral("--password"),      QStringLiteral("1234"),
                             QStringLiteral("--reply-timeout"), QStringLiteral("2000")};

    QCOMPARE(run(tqm510, visit), 0);
    QCOMPARE(status(id), QStringLiteral("Success"));

    // Uploaded from here with the store given: confirmed, stored with its actor.
    QString out;
    QString err;
    QCOMPARE(run(cli,
                 QStringList{QStringLiteral("upload"), QStringLiteral("--config"),
                             uploadFile("a.json", "Su Seviyesi"), QStringLiteral("--database"), db} +
                     target,
                 &out, &err),
             0);
    QVERIFY2(out.contains(QStringLiteral("Channel names confirmed")), qPrintable(out + err));

    QCOMPARE(run(tqm510, visit), 0);
    QCOMPARE(status(id), QStringLiteral("Success"));
    QVERIFY(sink.mails.isEmpty());

    // Another laptop: the upload leaves no trace in the store.
    QCOMPARE(run(cli, QStringList{QStringLiteral("upload"), QStringLiteral("--config"),
                                  uploadFile("b.json", "Debi")} +
                          target),
             0);
    QString printed;
    QCOMPARE(run(tqm510, visit, &printed), 0);
    QCOMPARE(status(id), QStringLiteral("Configuration changed at the station: names[0]"));
    // Reported once for the one change.
    QCOMPARE(printed.count(QStringLiteral("Configuration changed at the station")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(sink.mails.size(), 1, 10000);
    QVERIFY2(sink.mails.first().subject().contains(QStringLiteral("configuration changed at the station")),
             qPrintable(sink.mails.first().subject()));
    QVERIFY(sink.mails.first().data.contains("Su Seviyesi"));
    QFile file(metrics);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const ParsedMetrics parsed = parseMetrics(file.readAll());
    QVERIFY2(parsed.ok, qPrintable(parsed.error));
    QCOMPARE(parsed.samples.value(QStringLiteral("tqm510_config_changes_total{station=%1}").arg(code)), 1.0);

    // The history: the first read, the confirmed upload with its actor (the
    // quiet visit saw it again), the change nobody here made.
    QCOMPARE(run(tqm510, {QStringLiteral("--config-history"), code, QStringLiteral("--json")}, &out, &err),
             0);
    const QJsonObject history = QJsonDocument::fromJson(out.toUtf8()).object();
    QCOMPARE(history.value("code").toString(), code);
    const QJsonArray entries = history.value("entries").toArray();
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(0).toObject().value("source").toString(), QStringLiteral("visit"));
    const QJsonObject upload = entries.at(1).toObject();
    QCOMPARE(upload.value("source").toString(), QStringLiteral("cli"));
    QCOMPARE(upload.value("actor").toString(), ConfigHistory::localActor());
    QCOMPARE(upload.value("confirmed").toObject().value("channelNames").toString(),
             QStringLiteral("confirmed"));
    QCOMPARE(
        upload.value("changes").toArray(),
        QJsonArray({QJsonObject{
            {"record", "channelNames"}, {"field", "names[0]"}, {"from", "Seviye"}, {"to", "Su Seviyesi"}}}));
    const QJsonObject flagged = entries.at(2).toObject();
    QCOMPARE(flagged.value("source").toString(), QStringLiteral("visit"));
    QVERIFY(flagged.value("unexplained").toBool());
    QCOMPARE(
        flagged.value("changes").toArray(),
        QJsonArray({QJsonObject{
            {"record", "channelNames"}, {"field", "names[0]"}, {"from", "Su Seviyesi"}, {"to", "Debi"}}}));

    // The table for a terminal, with no display to be had.
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    bare.remove(QStringLiteral("QT_QPA_PLATFORM"));
    bare.remove(QStringLiteral("DISPLAY"));
    bare.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QCOMPARE(run(tqm510, {QStringLiteral("--config-history"), code}, &out, &err, bare), 0);
    QVERIFY2(out.contains(QString::fromUtf8("  channelNames Channel 1 name: Seviye → Su Seviyesi")),
             qPrintable(out + err));
    QVERIFY2(out.contains(QStringLiteral("\tvisit\t")) &&
                 out.contains(QStringLiteral("\tchanged at the station")),
             qPrintable(out));

    // A refused upload is not confirmed, and the exit status says so.
    QCOMPARE(
        run(cli,
            QStringList{QStringLiteral("upload"), QStringLiteral("--config"), uploadFile("c.json", "Akim"),
                        QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.port),
                        QStringLiteral("--password"), QStringLiteral("9999")},
            &out, &err),
        1);
    QVERIFY2(
        out.contains(QStringLiteral("Channel names not confirmed: the device refused it (wrong password)")),
        qPrintable(out));
}

void tst_ConfigHistory::clockSetting_keptAsAConfirmedUpload()
{
    if (!Simulator::available())
        QSKIP("LOGGERSIM not set");
    Simulator sim;
    QVERIFY2(sim.start(dir->path(), QStringLiteral("late"), R"({"clock": "01/01/26 00:00:00"})"),
             qPrintable(sim.error()));
    const QString code = QStringLiteral("D02A003");
    {
        DatabaseConnection connection;
        QVERIFY(connection.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0,
                                             QString(), QString()));
        DBStation s = fullStation(code);
        s.code = code;
        s.ip = QStringLiteral("127.0.0.1");
        s.port = sim.port;
        s.active = true;
        s.download_data = false;
        s.email = false;
        QVERIFY(DatabaseConnection::insertStation(s) > 0);
        DatabaseConnection::close();
    }
    {
        QSettings ini(dir->filePath(QStringLiteral("bin/settings.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("SETTINGS/clockSync"), true);
        ini.setValue(QStringLiteral("SETTINGS/devicePassword"), QStringLiteral("1234"));
    }
    const QString tqm510 = qEnvironmentVariable("TQM510");
    QCOMPARE(run(tqm510, {QStringLiteral("--headless"), QStringLiteral("--once")}), 0);
    QString out;
    QCOMPARE(run(tqm510, {QStringLiteral("--config-history"), code, QStringLiteral("--json")}, &out), 0);
    const QJsonArray entries = QJsonDocument::fromJson(out.toUtf8()).object().value("entries").toArray();
    QCOMPARE(entries.size(), 2);
    const QJsonObject clock = entries.at(0).toObject();
    QCOMPARE(clock.value("source").toString(), QStringLiteral("clock"));
    QCOMPARE(clock.value("confirmed").toObject(), (QJsonObject{{"setup", "confirmed"}}));
    // The visit's read after it: nothing changed, nothing flagged.
    QCOMPARE(entries.at(1).toObject().value("source").toString(), QStringLiteral("visit"));
    QVERIFY(entries.at(1).toObject().value("changes").toArray().isEmpty());
    QVERIFY(!entries.at(1).toObject().contains("unexplained"));
}

void tst_ConfigHistory::sharedStore_cliUploadAndReadsOnTheServer()
{
    if (!Simulator::available())
        QSKIP("LOGGERSIM not set");
    if (!PostgresServer::available())
        QSKIP("the PostgreSQL server programs are not installed (Debian package postgresql)");
    PostgresServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    Simulator sim;
    QVERIFY2(sim.start(dir->path(), QStringLiteral("pg"), "{}"), qPrintable(sim.error()));
    DatabaseUrl url;
    QString problem;
    QVERIFY(DatabaseUrl::parse(server.url(), &url, &problem));
    int id = 0;
    {
        DatabaseConnection db;
        QVERIFY2(db.open(url), qPrintable(DatabaseConnection::lastOpenError()));
        DBStation s = fullStation(QStringLiteral("PG"));
        s.code = QStringLiteral("D02A003");
        id = DatabaseConnection::insertStation(s);
        DatabaseConnection::close();
    }
    QVERIFY(id > 0);
    QString out;
    QString err;
    QCOMPARE(run(qEnvironmentVariable("NEXILCLI"),
                 {QStringLiteral("upload"), QStringLiteral("--config"), uploadFile("pg.json", "Kot"),
                  QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.port),
                  QStringLiteral("--password"), QStringLiteral("1234"), QStringLiteral("--database"),
                  server.url()},
                 &out, &err),
             0);
    QVERIFY2(out.contains(QStringLiteral("Channel names confirmed")), qPrintable(out + err));

    DatabaseConnection db;
    QVERIFY(db.open(url));
    ConfigHistory history;
    QList<ConfigHistory::Entry> entries;
    QVERIFY(history.entries(id, &entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().source, QStringLiteral("cli"));
    QCOMPARE(entries.first().records.record("channelNames").value("names").toArray().first().toString(),
             QStringLiteral("Kot"));
    // The same content read again only moves the last sighting; a change is a row of its own.
    ConfigSnapshot same = ConfigSnapshot::fromJson(entries.first().records.toJson()).only({"channelNames"});
    const QDateTime later = entries.first().lastSeen.addSecs(60);
    QList<ConfigChange> changes;
    QVERIFY(history.recordRead(id, ConfigHistory::visit(), "test", same, later, &changes, true));
    QVERIFY(changes.isEmpty());
    QVERIFY(history.entries(id, &entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().lastSeen, later);
    QJsonObject names = same.record("channelNames");
    QJsonArray intervals = names.value("recordIntervals").toArray();
    intervals[0] = intervals.at(0).toInt() + 5;
    names.insert("recordIntervals", intervals);
    QVERIFY(history.recordRead(id, ConfigHistory::visit(), "test",
                               ConfigSnapshot::fromJson({{"channelNames", names}}), later, &changes, true));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.first().field, QStringLiteral("recordIntervals[0]"));
    QCOMPARE(history.unexplainedCounts().value(id), 1);
}

QTEST_GUILESS_MAIN(tst_ConfigHistory)
#include "tst_confighistory.moc"
