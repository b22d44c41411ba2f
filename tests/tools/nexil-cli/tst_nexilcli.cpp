// nexil-cli as a script would use it: real processes against the simulator.

#include "nexil/excel/datafilewriter.h"
#include "support/datatruth.h"
#include "support/simprocess.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

// `output`: a file standard output goes to instead of the test; `runAs`: a
// command the run goes through (such as one that drops root).
Run cli(const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        const QString &output = QString(), const QStringList &runAs = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!output.isEmpty())
        process.setStandardOutputFile(output);
    const QString program = QProcessEnvironment::systemEnvironment().value("NEXILCLI", "nexil-cli");
    if (runAs.isEmpty())
        process.start(program, arguments);
    else
        process.start(runAs.first(), runAs.mid(1) + QStringList{program} + arguments);
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
    void wrongPort_namesTheTargetAndWhy();
    void messages_sayWhatHappened();
    void usageErrors_exitTwo_data();
    void usageErrors_exitTwo();
    void download_writesTheDataFileAndResumes();
    void upload_roundTrip();
    void upload_wrongPasswordChangesNothing();
    void upload_unknownMemberIsNamed();
    void upload_checksValuesBeforeSending();
    void upload_shortListKeepsTheOtherEntries();
    void upload_refusalIsReportedAsSuch();
    void localeWithOtherDigits_wireFilesAndJsonStayAscii();
    void password_oldOneStopsWorking();
    void convert_writesAWorkbookOrSaysWhy();
    void gaps_listsTheHolesOfAFile();
    void export_replacesTheOutputOnlyWhenWhole();
    void export_writesOnlyRegularFilesAndChecksItsOutput();

private:
    SimProcess *sim = nullptr;
    QStringList target;
};

void tst_NexilCli::init()
{
    sim = new SimProcess;
    QVERIFY(sim->start({"--scenario", SimProcess::scenario("tqm510.json"), "--speed", "0", "--truth",
                        sim->path("truth.csv")}));
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

void tst_NexilCli::wrongPort_namesTheTargetAndWhy()
{
    sim->stop();
    const Run run = cli(target + QStringList{"identity"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("the connection to %1 failed: ").arg(sim->tcpTarget()).toUtf8()),
             run.err);
    QVERIFY2(run.err.contains("refused"), run.err);
    QVERIFY(run.out.isEmpty());
}

void tst_NexilCli::messages_sayWhatHappened()
{
    QTemporaryDir dir;
    QFile array(dir.filePath("array.json"));
    QVERIFY(array.open(QIODevice::WriteOnly));
    array.write("[1, 2]");
    array.close();
    Run run = cli(target + QStringList{"upload", "--config", array.fileName(), "--password", "1234"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("holds a JSON array") && !run.err.contains("no error occurred"), run.err);

    // Missing parents of the data folder are made.
    const QString nested = dir.filePath("a/b/c");
    run = cli(target + QStringList{"download", "--dir", nested});
    QVERIFY2(run.status == 0, run.err);
    QVERIFY(QString::fromUtf8(run.out).trimmed().startsWith(nested + "/"));

    // A download cut by the device: nothing saved, and the reader is told where the next one starts.
    SimProcess cutting;
    QVERIFY(cutting.start({"--scenario", SimProcess::scenario("tqm510.json"), "--speed", "0",
                           "--disconnect-after-blocks", "1"}));
    run = cli(
        {"--tcp", cutting.tcpTarget(), "--reply-timeout", "2000", "download", "--dir", dir.filePath("cut")});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith("the download failed and nothing was saved; the next download starts where "
                                "the last saved one ended\n"),
             run.err);
    QVERIFY(QDir(dir.filePath("cut")).entryList(QDir::Files).isEmpty());
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
    QTest::newRow("gaps without file") << QStringList{"gaps", "--json"};
    QTest::newRow("gaps bad date") << QStringList{"gaps", "a.xml", "--from", "1.3.2026"};
    QTest::newRow("gaps range backwards")
        << QStringList{"gaps", "a.xml", "--from", "2026-03-02", "--to", "2026-03-01"};
    QTest::newRow("export without format") << QStringList{"export", "a.xml"};
    QTest::newRow("export bad offset")
        << QStringList{"export", "a.xml", "--format", "csv", "--utc-offset", "3"};
    QTest::newRow("export bad locale") << QStringList{"export", "a.xml", "--format", "csv", "--locale", "fr"};
    QTest::newRow("export bad encoding")
        << QStringList{"export", "a.xml", "--format", "zrxp", "--zrxp-encoding", "cp1254"};
    QTest::newRow("export bad channels")
        << QStringList{"export", "a.xml", "--format", "zrxp", "--channels", "a"};
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
    // Every value the device holds, once, at its own date and time.
    QString mismatch = datatruth::wholeTruthMismatch(sim->path("truth.csv"), datatruth::readXml(path));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    // Nothing new in the device: the second visit resumes at its end and adds nothing.
    const Run second = cli(target + QStringList{"download", "--dir", dir.path(), "--name", "../escape"});
    QCOMPARE(second.status, 0);
    QVERIFY2(QString::fromUtf8(second.out).trimmed().startsWith(dir.path() + "/.._escape_") == false,
             second.out);
    QVERIFY(QFileInfo(QString::fromUtf8(second.out).trimmed()).absolutePath() ==
            QDir(dir.path()).absolutePath());
    const Run third = cli(target + QStringList{"download", "--dir", dir.path()});
    QCOMPARE(third.status, 0);
    mismatch = datatruth::wholeTruthMismatch(sim->path("truth.csv"), datatruth::readXml(path));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
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

void tst_NexilCli::upload_checksValuesBeforeSending()
{
    QTemporaryDir dir;
    // Out of range: named, exit 2, and the device keeps everything (dayStart too).
    QVERIFY(writeJson(dir.filePath("range.json"),
                      QJsonObject{{"setupParameters", QJsonObject{{"setupDigitA", 12}, {"dayStart", 5}}},
                                  {"channelNames", QJsonObject{{"recordIntervals", QJsonArray{15, 0}}}}}));
    Run run =
        cli(target + QStringList{"upload", "--config", dir.filePath("range.json"), "--password", "1234"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("setupParameters.setupDigitA: 12 is not within 0..9"), run.err);
    QVERIFY2(run.err.contains("channelNames.recordIntervals[1]: 0 is not within 1..1440"), run.err);
    const QJsonObject setup = cli(target + QStringList{"read"}).json().value("setupParameters").toObject();
    QCOMPARE(setup.value("setupDigitA").toInt(), 0);
    QCOMPARE(setup.value("dayStart").toInt(), 7);

    // Texts the device cannot hold.
    QVERIFY(writeJson(dir.filePath("text.json"),
                      QJsonObject{{"channelNames", QJsonObject{{"names", QJsonArray{"Şile"}}}},
                                  {"setupParameters", QJsonObject{{"stationName", QString(25, 'A')}}}}));
    run = cli(target + QStringList{"upload", "--config", dir.filePath("text.json"), "--password", "1234"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("channelNames.names[0]"), run.err);
    QVERIFY2(run.err.contains("setupParameters.stationName: has 25 characters, at most 24"), run.err);

    // A type error is found before connecting: no logger listens here.
    QVERIFY(writeJson(dir.filePath("type.json"),
                      QJsonObject{{"setupParameters", QJsonObject{{"dayStart", "6"}}}}));
    run =
        cli({"--tcp", "127.0.0.1:1", "upload", "--config", dir.filePath("type.json"), "--password", "1234"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("setupParameters.dayStart") && !run.err.contains("connection"), run.err);
}

void tst_NexilCli::upload_shortListKeepsTheOtherEntries()
{
    QTemporaryDir dir;
    const QJsonObject before = cli(target + QStringList{"read"}).json().value("channelNames").toObject();
    QVERIFY(writeJson(dir.filePath("c.json"),
                      QJsonObject{{"channelNames", QJsonObject{{"names", QJsonArray{"Kot"}}}}}));
    const Run run =
        cli(target + QStringList{"upload", "--config", dir.filePath("c.json"), "--password", "1234"});
    QVERIFY2(run.status == 0, run.err);
    const QJsonArray names =
        cli(target + QStringList{"read"}).json().value("channelNames").toObject().value("names").toArray();
    QJsonArray expected = before.value("names").toArray();
    expected[0] = "Kot";
    QCOMPARE(names, expected);
}

void tst_NexilCli::upload_refusalIsReportedAsSuch()
{
    SimProcess refusing;
    QVERIFY(refusing.start({"--scenario", SimProcess::scenario("tqm510.json"), "--factory-answer", "crc"}));
    const Run run = cli(
        {"--tcp", refusing.tcpTarget(), "--reply-timeout", "500", "factory-defaults", "--password", "1234"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith("the device refused the record"), run.err);
    QVERIFY2(!run.err.contains("zaman aşımı"), run.err);
}

void tst_NexilCli::localeWithOtherDigits_wireFilesAndJsonStayAscii()
{
    // A locale whose digits are not ASCII, made for this test.
    const QString localedef = QStandardPaths::findExecutable("localedef");
    if (localedef.isEmpty())
        QSKIP("localedef is not installed");
    QTemporaryDir locales;
    QProcess make;
    make.start(localedef, {"-i", "ar_EG", "-f", "UTF-8", locales.filePath("ar_EG.UTF-8")});
    QVERIFY(make.waitForFinished(120000));
    QVERIFY2(QFileInfo::exists(locales.filePath("ar_EG.UTF-8/LC_NUMERIC")), make.readAllStandardError());
    QProcessEnvironment arabic = QProcessEnvironment::systemEnvironment();
    arabic.insert("LOCPATH", locales.path());
    arabic.insert("LC_ALL", "ar_EG.UTF-8");

    const auto ascii = [](const QByteArray &text) {
        for (const char c : text) {
            if (uchar(c) >= 0x80)
                return false;
        }
        return true;
    };
    Run run = cli(target + QStringList{"read"}, arabic);
    QCOMPARE(run.status, 0);
    const QString deviceTime = run.json().value("setupParameters").toObject().value("deviceTime").toString();
    QVERIFY2(ascii(deviceTime.toUtf8()) && deviceTime.size() == 19, qPrintable(deviceTime));

    QTemporaryDir dir;
    run = cli(target + QStringList{"download", "--dir", dir.path(), "--text"}, arabic);
    QCOMPARE(run.status, 0);
    const QString path = QString::fromUtf8(run.out).trimmed();
    QVERIFY2(ascii(QFileInfo(path).fileName().toUtf8()), qPrintable(path));
    QFile text(path.chopped(4) + ".txt");
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray exported = text.readAll();
    QVERIFY(ascii(exported.mid(exported.indexOf("\r\n\r\n|||"))));

    // The setup upload carries the host's clock: the device takes it.
    QVERIFY(writeJson(dir.filePath("c.json"),
                      QJsonObject{{"setupParameters", QJsonObject{{"stationName", "YENI"}}}}));
    run =
        cli(target + QStringList{"upload", "--config", dir.filePath("c.json"), "--password", "1234"}, arabic);
    QVERIFY2(run.status == 0, run.err);
    QCOMPARE(
        cli(target + QStringList{"read"}).json().value("setupParameters").toObject().value("stationName"),
        QJsonValue("YENI"));
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

void tst_NexilCli::gaps_listsTheHolesOfAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("D15A012_01032026.xml");
    QVector<datafile::Line> lines;
    for (int hour = 0; hour < 24; ++hour)
        if (hour != 5 && hour != 6)
            lines.append({0, "INS", "2026-03-01", QStringLiteral("%1:00").arg(hour, 2, 10, QChar('0')), 1.0});
    QVERIFY(datafile::write(path, {{0, "SV", "Su Seviyesi", "cm", 60}}, lines));

    Run run = cli({"gaps", path, "--to", "2026-03-02", "--json"});
    QVERIFY2(run.status == 0, run.err);
    const QJsonArray gaps = run.json().value("gaps").toArray();
    QCOMPARE(gaps.size(), 2);
    QCOMPARE(gaps.at(0).toObject(),
             (QJsonObject{
                 {"channel", 0}, {"from", "2026-03-01T05:00"}, {"to", "2026-03-01T06:00"}, {"missing", 2}}));
    // A bare end date takes in the whole day.
    QCOMPARE(gaps.at(1).toObject().value("to"), QJsonValue("2026-03-02T23:00"));
    QCOMPARE(gaps.at(1).toObject().value("missing"), QJsonValue(24));
    const QJsonArray days = run.json().value("days").toArray();
    QCOMPARE(days.size(), 2);
    QCOMPARE(days.at(0).toObject().value("channels").toArray().at(0).toObject().value("completeness"),
             QJsonValue(91.67));

    run = cli({"gaps", path});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains("2026-03-01T05:00  2026-03-01T06:00"), run.out);
    QVERIFY(run.out.contains("Su Seviyesi"));

    run = cli({"gaps", dir.filePath("absent.xml")});
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("absent.xml"));

    // The spring change under a zone with daylight saving: the device's
    // wall-clock hour 02:00 is a time like any other, and a sensor error is
    // missing, counted on its own.
    const QString spring = dir.filePath("D15A012_29032026.xml");
    lines.clear();
    for (int hour = 0; hour < 6; ++hour)
        if (hour != 2)
            lines.append({0, "INS", "2026-03-29", QStringLiteral("%1:00").arg(hour, 2, 10, QChar('0')),
                          hour == 4 ? -9999.0 : 1.0});
    QVERIFY(datafile::write(spring, {{0, "SV", "Su Seviyesi", "cm", 60}}, lines));
    QProcessEnvironment berlin = QProcessEnvironment::systemEnvironment();
    berlin.insert("TZ", "Europe/Berlin");
    run = cli({"gaps", spring, "--json"}, berlin);
    QVERIFY2(run.status == 0, run.err);
    QCOMPARE(run.json().value("gaps").toArray().at(0).toObject(),
             (QJsonObject{
                 {"channel", 0}, {"from", "2026-03-29T02:00"}, {"to", "2026-03-29T02:00"}, {"missing", 1}}));
    const QJsonObject channel = run.json().value("channels").toArray().at(0).toObject();
    QCOMPARE(channel.value("sensorErrors"), QJsonValue(1));
    QCOMPARE(channel.value("missing"), QJsonValue(2));
    run = cli({"gaps", spring, "--from", "2026-03-29T02:30", "--json"}, berlin);
    QVERIFY2(run.status == 0, run.err);
    QCOMPARE(run.json().value("from"), QJsonValue("2026-03-29T02:30"));
    run = cli({"gaps", spring}, berlin);
    QVERIFY2(run.out.contains("Errors"), run.out);
}

void tst_NexilCli::export_replacesTheOutputOnlyWhenWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("D15A012_01032026.xml");
    QVERIFY(datafile::write(path, {{0, "SV", "Su Seviyesi", "cm", 60}, {1, "YG", "Yağış", "mm", 60}},
                            {{0, "INS", "2026-03-01", "10:00", 1.5},
                             {1, "INS", "2026-03-01", "10:00", 2.25},
                             {0, "INS", "2026-03-01", "11:00", -9999},
                             {1, "INS", "2026-03-02", "11:00", 3}}));
    const QString out = dir.filePath("out.csv");
    Run run = cli({"export", path, "--format", "csv", "--locale", "de", "--channels", "0", "--to",
                   "2026-03-01", "--utc-offset", "+01:00", "--out", out});
    QVERIFY2(run.status == 0, run.err);
    QFile csv(out);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(),
             QByteArray("\xEF\xBB\xBFtime;Su Seviyesi (cm)\r\n2026-03-01T10:00:00+01:00;1,5000\r\n"
                        "2026-03-01T11:00:00+01:00;\r\n"));
    csv.close();

    // A file that fails half-way leaves the earlier output as it was.
    QFile broken(dir.filePath("broken.xml"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<device><data><line channel=\"0\" dataType=\"INS\"");
    broken.close();
    run = cli({"export", path, broken.fileName(), "--format", "waterml2", "--out", out});
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains("broken.xml"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QVERIFY(csv.readAll().startsWith("\xEF\xBB\xBFtime;"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);

    run = cli({"export", path, "--format", "zrxp"});
    QVERIFY2(run.status == 0, run.err);
    QVERIFY2(run.out.contains("#TZUTC+3|*|\n#LAYOUT(timestamp,value)|*|\n20260301100000 1.5000\n"
                              "20260301110000 -777\n"),
             run.out);
}

void tst_NexilCli::export_writesOnlyRegularFilesAndChecksItsOutput()
{
    QTemporaryDir dir;
    // Readable by an unprivileged user too.
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther);
    const QString path = dir.filePath("D15A012_01032026.xml");
    QVERIFY(datafile::write(path, {{0, "SV", "Su Seviyesi", "cm", 60}},
                            {{0, "INS", "2026-03-01", "10:00", 1.5}}));
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOther);

    // Special files in the target's place: a pipe, a folder, links to them,
    // and as root a device node (a private one: a fault here must not
    // replace the machine's own).
    QStringList targets;
    QVERIFY(QProcess::execute("mkfifo", {dir.filePath("pipe")}) == 0);
    targets << dir.filePath("pipe") << dir.path();
    QVERIFY(QFile::link(dir.filePath("pipe"), dir.filePath("link")));
    targets << dir.filePath("link");
    const bool root = ::geteuid() == 0;
    if (root) {
        QVERIFY(QProcess::execute("mknod", {dir.filePath("null"), "c", "1", "3"}) == 0);
        QVERIFY(QFile::link(dir.filePath("null"), dir.filePath("nulllink")));
        targets << dir.filePath("null") << dir.filePath("nulllink");
    }
    for (const QString &target : targets) {
        const Run run = cli({"export", path, "--format", "csv", "--out", target});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("is not a regular file"), run.err);
        QVERIFY(!QFileInfo(target).isFile());
    }
    // The same as an unprivileged user, with the system's /dev/null (which
    // such a user cannot replace whatever happens).
    const QStringList nobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const QStringList as = root ? nobody : QStringList();
    // A build in a folder that user cannot enter cannot be run that way.
    const bool runs =
        cli({"export", path, "--format", "csv"}, QProcessEnvironment::systemEnvironment(), QString(), as)
            .status == 0;
    if (!runs)
        qWarning("the unprivileged user cannot run nexil-cli from this build: checked as root only");
    for (const QString &target : {QStringLiteral("/dev/null"), dir.filePath("pipe")}) {
        if (!runs)
            break;
        const Run run = cli({"export", path, "--format", "zrxp", "--out", target},
                            QProcessEnvironment::systemEnvironment(), QString(), as);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(target.toUtf8() + " is not a regular file"), run.err);
    }
    // A regular file is replaced as before; a newer file's differing value
    // wins, and the warning names the time.
    const QString newer = dir.filePath("D15A012_02032026.xml");
    QVERIFY(datafile::write(newer, {{0, "SV", "Su Seviyesi", "cm", 60}},
                            {{0, "INS", "2026-03-01", "10:00", 1.75}}));
    Run run = cli({"export", newer, path, "--format", "csv", "--out", dir.filePath("out.csv")});
    QVERIFY2(run.status == 0, run.err);
    QCOMPARE(run.err,
             QByteArray("warning: channel 0 (Su Seviyesi) at 2026-03-01 10:00: D15A012_01032026.xml has "
                        "1.5000, the newer D15A012_02032026.xml has 1.7500; 1.7500 written\n"));
    QFile csv(dir.filePath("out.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(), QByteArray("time,Su Seviyesi (cm)\r\n2026-03-01T10:00:00+03:00,1.7500\r\n"));

    // A small write that fails is a failure, for the export and the rest.
    run = cli({"export", path, "--format", "csv"}, QProcessEnvironment::systemEnvironment(), "/dev/full");
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("No space left on device"), run.err);
    run = cli({"gaps", path, "--json"}, QProcessEnvironment::systemEnvironment(), "/dev/full");
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("writing to standard output failed"), run.err);
}

QTEST_GUILESS_MAIN(tst_NexilCli)
#include "tst_nexilcli.moc"
