// nexil-cli as a script would use it: real processes against the simulator.

#include "support/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

Run cli(const QStringList &arguments)
{
    QProcess process;
    process.start(QProcessEnvironment::systemEnvironment().value("NEXILCLI", "nexil-cli"), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

bool writeJson(const QString &path, const QJsonObject &object)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(object).toJson()) > 0;
}

} // namespace

class tst_NexilCli : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void read_printsTheDevice();
    void identity_overASerialLine();
    void wrongPort_exitsOneWithTheLibrarysMessage();
    void usageErrors_exitTwo_data();
    void usageErrors_exitTwo();
    void download_writesTheDataFileAndResumes();
    void upload_roundTrip();
    void upload_wrongPasswordChangesNothing();
    void upload_unknownMemberIsNamed();
    void password_oldOneStopsWorking();
    void convert_writesAWorkbookOrSaysWhy();

private:
    SimProcess *sim = nullptr;
    QStringList target;
};

void tst_NexilCli::init()
{
    sim = new SimProcess;
    QVERIFY(sim->start({"--scenario", SimProcess::scenario("tqm510.json"), "--speed", "0"}));
    target = QStringList{"--tcp", sim->tcpTarget(), "--reply-timeout", "2000"};
}

void tst_NexilCli::cleanup()
{
    delete sim;
    sim = nullptr;
}

void tst_NexilCli::read_printsTheDevice()
{
    const Run run = cli(target + QStringList{"read"});
    QCOMPARE(run.status, 0);
    const QJsonObject all = run.json();
    QCOMPARE(all.keys(), QStringList({"alarmParameters", "channelCalibrations", "channelNames",
                                      "fileInformations", "setupParameters"}));
    const QJsonObject setup = all.value("setupParameters").toObject();
    QCOMPARE(setup.value("stationName").toString(), QStringLiteral("KIRMIR CAYI"));
    QCOMPARE(setup.value("stationCode").toString(), QStringLiteral("D02A003"));
    QCOMPARE(setup.value("basin").toInt(), 14);
    QCOMPARE(setup.value("header").toObject().value("serialNumber").toString(), QStringLiteral("51001"));
    QCOMPARE(setup.value("header").toObject().value("deviceType").toInt(), 1);
    QVERIFY(QDateTime::fromString(setup.value("deviceTime").toString(), "yyyy-MM-ddTHH:mm:ss").isValid());
    const QJsonObject names = all.value("channelNames").toObject();
    QCOMPARE(names.value("names").toArray().at(0).toString(), QStringLiteral("Level"));
    QCOMPARE(names.value("codes").toArray().at(0).toInt(), 49);
    const QJsonObject alarms = all.value("alarmParameters").toObject();
    QCOMPARE(alarms.value("maximumEvents").toArray().at(0).toObject().value("value").toDouble(), 262.5);
    QCOMPARE(alarms.value("minimumEvents").toArray().at(0).toObject().value("value").toDouble(), -11.2);
}

void tst_NexilCli::identity_overASerialLine()
{
    SimProcess serial;
    QVERIFY(serial.start({"--scenario", SimProcess::scenario("tqa110.json")}, true));
    const Run run = cli({"--serial", serial.ptyPath(), "--baud", "19200", "identity"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.json().value("header").toObject().value("deviceTypeName").toString(),
             QStringLiteral("TQA110"));
}

void tst_NexilCli::wrongPort_exitsOneWithTheLibrarysMessage()
{
    sim->stop();
    const Run run = cli(target + QStringList{"identity"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("TCP Soket bağlantısı açık değil. Önce bağlantıyı kurmalısınız."), run.err);
    QVERIFY(run.out.isEmpty());
}

void tst_NexilCli::usageErrors_exitTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList{"--tcp", "127.0.0.1:1"};
    QTest::newRow("unknown command") << QStringList{"--tcp", "127.0.0.1:1", "dance"};
    QTest::newRow("no logger") << QStringList{"read"};
    QTest::newRow("two loggers") << QStringList{"--tcp", "127.0.0.1:1", "--serial", "/dev/null", "read"};
    QTest::newRow("bad port") << QStringList{"--tcp", "localhost:http", "read"};
    QTest::newRow("download without dir") << QStringList{"--tcp", "127.0.0.1:1", "download"};
    QTest::newRow("bad excel type") << QStringList{"--tcp", "127.0.0.1:1", "download", "--dir",
                                                   "x",     "--excel",     "ods"};
    QTest::newRow("long password") << QStringList{"--tcp", "127.0.0.1:1", "password", "--password",
                                                  "12345", "--new",       "1"};
    QTest::newRow("unknown option") << QStringList{"--tcp", "127.0.0.1:1", "--frobnicate", "read"};
    QTest::newRow("convert without type") << QStringList{"convert", "a.xml"};
}

void tst_NexilCli::usageErrors_exitTwo()
{
    QFETCH(QStringList, arguments);
    const Run run = cli(arguments);
    QCOMPARE(run.status, 2);
    QVERIFY(!run.err.isEmpty());
}

void tst_NexilCli::download_writesTheDataFileAndResumes()
{
    QTemporaryDir dir;
    const Run first = cli(target + QStringList{"download", "--dir", dir.path(), "--text"});
    QCOMPARE(first.status, 0);
    const QString path = QString::fromUtf8(first.out).trimmed();
    QVERIFY2(path.startsWith(dir.path() + "/D02A003_") && path.endsWith(".xml"), qPrintable(path));
    QVERIFY(QFile::exists(path));
    QVERIFY(QFile::exists(path.chopped(4) + ".txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const int lines = file.readAll().count("<line ");
    QVERIFY(lines > 100);
    file.close();

    // Nothing new in the device: the second visit resumes at its end and adds nothing.
    const Run second = cli(target + QStringList{"download", "--dir", dir.path(), "--name", "../escape"});
    QCOMPARE(second.status, 0);
    QVERIFY2(QString::fromUtf8(second.out).trimmed().startsWith(dir.path() + "/.._escape_") == false,
             second.out);
    QVERIFY(QFileInfo(QString::fromUtf8(second.out).trimmed()).absolutePath() ==
            QDir(dir.path()).absolutePath());
    const Run third = cli(target + QStringList{"download", "--dir", dir.path()});
    QCOMPARE(third.status, 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("<line "), lines);
}

void tst_NexilCli::upload_roundTrip()
{
    QTemporaryDir dir;
    QJsonObject config;
    config.insert("channelNames", QJsonObject{{"names", QJsonArray{"Seviye", "Yagis", "Hava", "Su", "Nem",
                                                                   "Basinc", "Ruzgar", "Yon", "Pil"}}});
    config.insert("channelCalibrations", QJsonObject{{"offsets", QJsonArray{0.5, 1.25, 0, 0, -2}}});
    config.insert("setupParameters", QJsonObject{{"stationName", "YENI ISTASYON"}, {"dayStart", 8}});
    config.insert("alarmParameters", QJsonObject{{"maximums", QJsonArray{300, 60, 45, 1}}});
    QVERIFY(writeJson(dir.filePath("config.json"), config));

    const Run upload =
        cli(target + QStringList{"upload", "--config", dir.filePath("config.json"), "--password", "1234"});
    QVERIFY2(upload.status == 0, upload.err);

    const QJsonObject all = cli(target + QStringList{"read"}).json();
    QCOMPARE(all.value("channelNames").toObject().value("names").toArray().at(1).toString(),
             QStringLiteral("Yagis"));
    QCOMPARE(all.value("channelCalibrations").toObject().value("offsets").toArray().at(1).toDouble(), 1.25);
    QCOMPARE(all.value("setupParameters").toObject().value("stationName").toString(),
             QStringLiteral("YENI ISTASYON"));
    QCOMPARE(all.value("setupParameters").toObject().value("dayStart").toInt(), 8);
    // Untouched members keep the device's values.
    QCOMPARE(all.value("setupParameters").toObject().value("stationCode").toString(),
             QStringLiteral("D02A003"));
    QCOMPARE(all.value("alarmParameters").toObject().value("maximums").toArray().at(0).toDouble(), 300.0);
    QCOMPARE(all.value("channelNames").toObject().value("codes").toArray().at(0).toInt(), 49);
}

void tst_NexilCli::upload_wrongPasswordChangesNothing()
{
    QTemporaryDir dir;
    QVERIFY(writeJson(dir.filePath("c.json"),
                      QJsonObject{{"setupParameters", QJsonObject{{"stationName", "BASKA"}}}}));
    const Run upload =
        cli(target + QStringList{"upload", "--config", dir.filePath("c.json"), "--password", "0000"});
    QCOMPARE(upload.status, 1);
    QVERIFY(upload.err.contains("wrong password"));
    QCOMPARE(
        cli(target + QStringList{"read"}).json().value("setupParameters").toObject().value("stationName"),
        QJsonValue("KIRMIR CAYI"));
}

void tst_NexilCli::upload_unknownMemberIsNamed()
{
    QTemporaryDir dir;
    QVERIFY(writeJson(dir.filePath("c.json"),
                      QJsonObject{{"setupParameters", QJsonObject{{"stationNmae", "X"}}}, {"extra", 1}}));
    Run run = cli(target + QStringList{"upload", "--config", dir.filePath("c.json"), "--password", "1234"});
    QCOMPARE(run.status, 2);
    QVERIFY(run.err.contains("extra"));
    QVERIFY(writeJson(dir.filePath("d.json"),
                      QJsonObject{{"setupParameters", QJsonObject{{"stationNmae", "X"}}}}));
    run = cli(target + QStringList{"upload", "--config", dir.filePath("d.json"), "--password", "1234"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("setupParameters.stationNmae"), run.err);
    QVERIFY(writeJson(dir.filePath("e.json"),
                      QJsonObject{{"setupParameters", QJsonObject{{"dayStart", "eight"}}}}));
    run = cli(target + QStringList{"upload", "--config", dir.filePath("e.json"), "--password", "1234"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("setupParameters.dayStart"), run.err);
}

void tst_NexilCli::password_oldOneStopsWorking()
{
    Run run = cli(target + QStringList{"password", "--password", "1234", "--new", "9876"});
    QVERIFY2(run.status == 0, run.err);
    run = cli(target + QStringList{"factory-defaults", "--password", "1234"});
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("wrong password"));
    run = cli(target + QStringList{"factory-defaults", "--password", "9876"});
    QVERIFY2(run.status == 0, run.err);
}

void tst_NexilCli::convert_writesAWorkbookOrSaysWhy()
{
    QTemporaryDir dir;
    const Run download = cli(target + QStringList{"download", "--dir", dir.path(), "--excel", "xlsx"});
    QCOMPARE(download.status, 0);
    const QString xml = QString::fromUtf8(download.out).trimmed();
    QVERIFY(QFile::exists(xml.chopped(4) + ".xlsx"));

    const Run convert = cli({"convert", xml, "--excel", "xls", "--pivot"});
    QVERIFY2(convert.status == 0, convert.err);
    QVERIFY(QFileInfo(xml.chopped(4) + ".xls").size() > 0);

    QFile broken(dir.filePath("broken.xml"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<device><header>");
    broken.close();
    const Run bad = cli({"convert", broken.fileName(), "--excel", "xlsx"});
    QCOMPARE(bad.status, 1);
    QVERIFY(!bad.err.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("broken.xlsx")));
}

QTEST_GUILESS_MAIN(tst_NexilCli)
#include "tst_nexilcli.moc"
