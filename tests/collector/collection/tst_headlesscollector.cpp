#include "../common/metricsparser.h"
#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "../common/smtpsink.h"
#include "../common/stationfixtures.h"
#include "collection/memorytrim.h"
#include "store/databaseconnection.h"
#include "store/stationsettings.h"
#include "store/stationstats.h"
#include "support/datatruth.h"

#include <QLockFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

// Runs the tqm510 program from <tmp>/bin, so that its database is
// <tmp>/data/data.db as in an installation.
class tst_HeadlessCollector : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void helpListsTheModes();
    void onceWithoutActiveStationsCreatesDatabase();
    void onceReportsFailedVisit();
    void stopSignalsEndCleanly_data();
    void stopSignalsEndCleanly();
    void onceAgainstHealthyAndWrongStation();
    void addStationOption();
    void onceWritesMetricsAndStatusShowsStatistics();
    void workingFolderGivenByOptionOrEnvironment();
    void localeWithOtherDigitsKeepsNamesAndTimesAscii();
    void stopWhileSaveWaitsForFileLock();
    void lockedDatabaseKeepsStatusesUntilFree();
    void hangingMailServer_stopWithinFiveSeconds_codesStayOnOneLine();

private:
    int addStation(const QString &code, quint16 port, bool active = true);
    QMap<int, QString> storedStatuses();
    bool runOnce(QProcess &process, int timeoutMs = 60000);

    std::unique_ptr<QTemporaryDir> dir;
    QString bin;
};

void tst_HeadlessCollector::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    bin = dir->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    // The classic layout: the program works from bin/ with ../data beside it.
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("data"))));
}

void tst_HeadlessCollector::cleanup()
{
    DatabaseConnection::close();
    dir.reset();
}

int tst_HeadlessCollector::addStation(const QString &code, quint16 port, bool active)
{
    QDir().mkpath(dir->filePath(QStringLiteral("data")));
    DatabaseConnection db;
    if (!db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                              QString()))
        return -1;
    DBStation s = fullStation(code);
    s.code = code;
    s.ip = QStringLiteral("127.0.0.1");
    s.port = port;
    s.active = active;
    s.download_data = true;
    s.file_path = dir->filePath(QStringLiteral("files/") + code);
    s.file_name = code;
    const int id = DatabaseConnection::insertStation(s);
    DatabaseConnection::close();
    return id;
}

QMap<int, QString> tst_HeadlessCollector::storedStatuses()
{
    QMap<int, QString> statuses;
    DatabaseConnection db;
    if (!db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                              QString()))
        return statuses;
    {
        QSqlQuery q;
        q.exec(QStringLiteral("SELECT id, status FROM stations"));
        while (q.next())
            statuses.insert(q.value(0).toInt(), q.value(1).toString());
    }
    DatabaseConnection::close();
    return statuses;
}

bool tst_HeadlessCollector::runOnce(QProcess &process, int timeoutMs)
{
    process.setWorkingDirectory(bin);
    process.setProgram(qEnvironmentVariable("TQM510"));
    process.setArguments({QStringLiteral("--headless"), QStringLiteral("--once")});
    process.start();
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
}

void tst_HeadlessCollector::helpListsTheModes()
{
    QProcess help;
    help.setWorkingDirectory(bin);
    help.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(10000));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    QVERIFY(text.contains(QStringLiteral("--headless")));
    QVERIFY(text.contains(QStringLiteral("--once")));
    // Help needs no database (the desktop mode is tested with the windows).
    QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("data/data.db"))));
}

void tst_HeadlessCollector::onceWithoutActiveStationsCreatesDatabase()
{
    QProcess process;
    QVERIFY(runOnce(process, 20000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QFile::exists(dir->filePath(QStringLiteral("data/data.db"))));
    QVERIFY(QFile::exists(dir->filePath(QStringLiteral("bin/settings.ini")))); // the model's colours
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void tst_HeadlessCollector::onceReportsFailedVisit()
{
    const int refused = addStation(QStringLiteral("R1"), closedPort());
    const int inactive = addStation(QStringLiteral("I1"), closedPort(), false);
    QProcess process;
    QVERIFY(runOnce(process));
    QCOMPARE(process.exitCode(), 1);
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\t%1\\tR1\\t(.*)$").arg(refused));
    QCOMPARE(form.match(lines.at(0)).captured(1), QStringLiteral("Connecting.."));
    QCOMPARE(form.match(lines.at(1)).captured(1), QStringLiteral("Connection refused"));
    const QMap<int, QString> statuses = storedStatuses();
    QCOMPARE(statuses.value(refused), QStringLiteral("Connection refused"));
    QCOMPARE(statuses.value(inactive), fullStation().status); // as stored, untouched
}

void tst_HeadlessCollector::stopSignalsEndCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    // The allocator's settings the collector is given, and those it runs with.
    QTest::addColumn<QByteArray>("tunables");
    QTest::addColumn<QByteArray>("running");
    QTest::newRow("SIGTERM") << int(SIGTERM) << QByteArray() << MemoryTrim::tunables({});
    QTest::newRow("SIGINT, the operator's caches") << int(SIGINT) << QByteArray("glibc.malloc.tcache_count=3")
                                                   << QByteArray("glibc.malloc.tcache_count=3");
}

void tst_HeadlessCollector::stopSignalsEndCleanly()
{
    QFETCH(int, signalNumber);
    QFETCH(QByteArray, tunables);
    QFETCH(QByteArray, running);
    SilentDevice device;
    const int id = addStation(QStringLiteral("S1"), device.serverPort());
    QProcess process;
    process.setWorkingDirectory(bin);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("GLIBC_TUNABLES"));
    if (!tunables.isEmpty())
        env.insert(QStringLiteral("GLIBC_TUNABLES"), QString::fromLatin1(tunables));
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--headless")});
    QVERIFY(process.waitForStarted(10000));
    QByteArray out;
    // Stop it in the middle of a visit.
    QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("Reading parameters"), 20000);
    QCOMPARE(device.connections, 1);
    // Still the process started, now with small thread caches unless the
    // operator chose others.
    QFile environ(QStringLiteral("/proc/%1/environ").arg(process.processId()));
    QVERIFY(environ.open(QIODevice::ReadOnly));
    QVERIFY(environ.readAll().split('\0').contains("GLIBC_TUNABLES=" + running));
    ::kill(pid_t(process.processId()), signalNumber);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    // Not the step it was in: the visit did not go on.
    QCOMPARE(storedStatuses().value(id), QStringLiteral("Visit interrupted by stop"));
    // The database was closed cleanly: no write-ahead log is left behind.
    QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("data/data.db-wal"))) ||
            QFileInfo(dir->filePath(QStringLiteral("data/data.db-wal"))).size() == 0);
}

void tst_HeadlessCollector::onceAgainstHealthyAndWrongStation()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator healthy;
    Simulator wrong;
    QVERIFY2(healthy.start(dir->path(), QStringLiteral("healthy"), R"({"station": {"code": "H01"}})"),
             qPrintable(healthy.error()));
    QVERIFY2(wrong.start(dir->path(), QStringLiteral("wrong"), R"({"station": {"code": "SOMEONE"}})"),
             qPrintable(wrong.error()));
    const int good = addStation(QStringLiteral("H01"), healthy.port);
    const int bad = addStation(QStringLiteral("W01"), wrong.port);
    // Entered without a device type: the visit records the device's.
    const auto deviceType = [this](int id, const QString *set) {
        DatabaseConnection db;
        if (!db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                                  QString()))
            return QStringLiteral("no database");
        QString type;
        {
            QSqlQuery q;
            if (set)
                q.exec(
                    QStringLiteral("UPDATE stations SET device_type = '%1' WHERE id = %2").arg(*set).arg(id));
            q.exec(QStringLiteral("SELECT device_type FROM stations WHERE id = %1").arg(id));
            type = q.next() ? q.value(0).toString() : QStringLiteral("no row");
        }
        DatabaseConnection::close();
        return type;
    };
    const QString none;
    QCOMPARE(deviceType(good, &none), QString());

    QProcess process;
    QVERIFY(runOnce(process));
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(deviceType(good, nullptr), QStringLiteral("TQM510"));
    const QMap<int, QString> statuses = storedStatuses();
    QCOMPARE(statuses.value(good), QStringLiteral("Download completed."));
    QCOMPARE(statuses.value(bad),
             QStringLiteral("Okunan istasyon kodu \"SOMEONE\". Okunan kod ile kayıtlı kod eşleşmiyor!"));
    const QStringList saved = QDir(dir->filePath(QStringLiteral("files/H01")))
                                  .entryList({QStringLiteral("H01_*.xml")}, QDir::Files);
    QCOMPARE(saved.size(), 1);
    QVERIFY(!QDir(dir->filePath(QStringLiteral("files/W01"))).exists());
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY(out.contains(QStringLiteral("\tH01\tDownload completed.\n")));
    // Once per visit.
    QCOMPARE(out.count(QStringLiteral("\tH01\tDownload completed.")), 1);
    QVERIFY(out.contains(QStringLiteral("\tW01\tOkunan istasyon kodu")));
}

void tst_HeadlessCollector::onceWritesMetricsAndStatusShowsStatistics()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator healthy;
    QVERIFY2(healthy.start(dir->path(), QStringLiteral("healthy"), R"({"station": {"code": "H01"}})"),
             qPrintable(healthy.error()));
    const int good = addStation(QStringLiteral("H01"), healthy.port);
    const int refused = addStation(QStringLiteral("R01"), closedPort());
    const QString metricsPath = dir->filePath(QStringLiteral("tqm510.prom"));

    const QString tqm510 = qEnvironmentVariable("TQM510");
    QProcess process;
    process.setWorkingDirectory(bin);
    process.start(tqm510, {QStringLiteral("--headless"), QStringLiteral("--once"),
                           QStringLiteral("--metrics-file"), metricsPath});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QFile file(metricsPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const ParsedMetrics m = parseMetrics(text);
    QVERIFY2(m.ok, qPrintable(m.error));
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_visits_total{result=success,station=H01}")), 1.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_visits_total{result=no_connection,station=R01}")), 1.0);
    const double now = QDateTime::currentSecsSinceEpoch();
    QVERIFY(qAbs(m.samples.value(QStringLiteral("tqm510_heartbeat_timestamp_seconds{}")) - now) < 60);
    // The main loop's largest lag of the last minute: measured, and far below
    // the length of the run.
    QVERIFY(m.samples.contains(QStringLiteral("tqm510_main_loop_lag_seconds{}")));
    const double lag = m.samples.value(QStringLiteral("tqm510_main_loop_lag_seconds{}"));
    QVERIFY2(lag >= 0 && lag < 30, qPrintable(QString::number(lag)));
    QVERIFY(qAbs(m.samples.value(QStringLiteral("tqm510_last_success_timestamp_seconds{station=H01}")) -
                 now) < 60);
    QVERIFY(m.samples.contains(QStringLiteral("tqm510_clock_drift_seconds{station=H01}")));
    QVERIFY(!m.samples.contains(QStringLiteral("tqm510_last_success_timestamp_seconds{station=R01}")));
    QVERIFY(QDir(dir->path()).entryList({QStringLiteral("tqm510.prom*")}, QDir::Files).size() == 1);

    QProcess status;
    status.setWorkingDirectory(bin);
    status.start(tqm510, {QStringLiteral("--status")});
    QVERIFY(status.waitForFinished(20000));
    QCOMPARE(status.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(status.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).startsWith(QStringLiteral("ID  CODE  ACTIVE  VISITS  OK  FAILED")));
    QVERIFY2(lines.at(2).simplified().startsWith(QStringLiteral("%1 R01 yes 1 0 1 0 1 -").arg(refused)),
             qPrintable(lines.at(2)));
    QVERIFY(lines.at(2).endsWith(QStringLiteral("Connection refused")));

    QProcess json;
    json.setWorkingDirectory(bin);
    json.start(tqm510, {QStringLiteral("--status"), QStringLiteral("--json")});
    QVERIFY(json.waitForFinished(20000));
    const QJsonArray stations = QJsonDocument::fromJson(json.readAllStandardOutput())
                                    .object()
                                    .value(QStringLiteral("stations"))
                                    .toArray();
    QCOMPARE(stations.size(), 2);
    const QJsonObject h = stations.at(0).toObject();
    QCOMPARE(h.value(QStringLiteral("id")).toInt(), good);
    QCOMPARE(h.value(QStringLiteral("successes")).toInt(), 1);
    QVERIFY(h.value(QStringLiteral("records")).toInt() > 100);
    QVERIFY(h.value(QStringLiteral("bytes")).toInt() > 0);
    // The simulator recorded every value its intervals call for, but some of
    // its air temperatures may be sensor errors (where they fall depends on
    // the clock): missing.
    int sensorErrors = 0;
    const QStringList dataFiles = QDir(dir->filePath(QStringLiteral("files/H01")))
                                      .entryList({QStringLiteral("H01_*.xml")}, QDir::Files);
    QCOMPARE(dataFiles.size(), 1);
    const datatruth::Saved saved =
        datatruth::readXml(dir->filePath(QStringLiteral("files/H01/") + dataFiles.first()));
    for (auto it = saved.lines.constBegin(); it != saved.lines.constEnd(); ++it)
        if (it.key().section(QLatin1Char(' '), 1, 1) == QLatin1String("INS") &&
            it.key().section(QLatin1Char(' '), 4, 4).toDouble() <= -8887)
            sensorErrors += it.value();
    const double completeness = h.value(QStringLiteral("completeness30d")).toDouble(-1);
    QVERIFY2(sensorErrors > 0 ? completeness > 0.99 && completeness < 1.0 : completeness == 1.0,
             qPrintable(QStringLiteral("%1 with %2 sensor errors").arg(completeness).arg(sensorErrors)));
    QCOMPARE(stations.at(1)
                 .toObject()
                 .value(QStringLiteral("failures"))
                 .toObject()
                 .value(QStringLiteral("noConnection"))
                 .toInt(),
             1);

    QProcess misuse;
    misuse.start(tqm510, {QStringLiteral("--metrics-file"), metricsPath});
    QVERIFY(misuse.waitForFinished(20000));
    QCOMPARE(misuse.exitCode(), 2);
}

void tst_HeadlessCollector::workingFolderGivenByOptionOrEnvironment()
{
    // Started from a folder without the classic layout, everything goes to the given folder.
    const QString elsewhere = dir->filePath(QStringLiteral("elsewhere"));
    const QString work = dir->filePath(QStringLiteral("service"));
    QVERIFY(QDir().mkpath(elsewhere));

    QProcess help;
    help.setWorkingDirectory(elsewhere);
    help.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--workdir"), work, QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(10000));
    QVERIFY(help.readAllStandardOutput().contains(
        QStringLiteral("Now: Working folder %1 (given)").arg(work).toUtf8()));

    QProcess add;
    add.setWorkingDirectory(elsewhere);
    add.start(qEnvironmentVariable("TQM510"),
              {QStringLiteral("--workdir"), work, QStringLiteral("--add-station"),
               QStringLiteral("W1,127.0.0.1,1")});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 0);
    QVERIFY(QFile::exists(work + QStringLiteral("/data/data.db")));

    QProcess once;
    once.setWorkingDirectory(elsewhere);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TQM510_WORKDIR"), work);
    once.setProcessEnvironment(env);
    once.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--headless"), QStringLiteral("--once")});
    QVERIFY(once.waitForFinished(30000));
    QCOMPARE(once.exitCode(), 1); // nothing listens on port 1
    QVERIFY(QFile::exists(work + QStringLiteral("/settings.ini")));
    QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("elsewhere/settings.ini"))));

    DatabaseConnection db;
    QVERIFY(db.connectToDatabase(work + QStringLiteral("/data/data.db"), QString(), 0, QString(), QString()));
    const QList<DBStation> stations = DatabaseConnection::selectStations();
    QCOMPARE(stations.size(), 1);
    QCOMPARE(stations.at(0).file_path, work + QStringLiteral("/files/W1"));
    {
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral("SELECT status FROM stations")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Connection refused"));
    }
    DatabaseConnection::close();
}

void tst_HeadlessCollector::localeWithOtherDigitsKeepsNamesAndTimesAscii()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (localedef.isEmpty())
        QSKIP("localedef is not installed");
    QTemporaryDir locales;
    QProcess make;
    make.start(localedef, {QStringLiteral("-i"), QStringLiteral("ar_EG"), QStringLiteral("-f"),
                           QStringLiteral("UTF-8"), locales.filePath(QStringLiteral("ar_EG.UTF-8"))});
    QVERIFY(make.waitForFinished(120000));
    QVERIFY2(QFileInfo::exists(locales.filePath(QStringLiteral("ar_EG.UTF-8/LC_NUMERIC"))),
             make.readAllStandardError());

    Simulator healthy;
    QVERIFY2(healthy.start(dir->path(), QStringLiteral("healthy"), R"({"station": {"code": "H01"}})"),
             qPrintable(healthy.error()));
    const int id = addStation(QStringLiteral("H01"), healthy.port);
    QProcess process;
    QProcessEnvironment arabic = QProcessEnvironment::systemEnvironment();
    arabic.insert(QStringLiteral("LOCPATH"), locales.path());
    arabic.insert(QStringLiteral("LC_ALL"), QStringLiteral("ar_EG.UTF-8"));
    process.setProcessEnvironment(arabic);
    QVERIFY(runOnce(process));
    QCOMPARE(process.exitCode(), 0);

    const auto ascii = [](const QString &text) {
        for (const QChar c : text)
            if (c.unicode() >= 0x80)
                return false;
        return true;
    };
    // The data file's name: another name would start the station's memory again from page 0.
    const QStringList saved = QDir(dir->filePath(QStringLiteral("files/H01")))
                                  .entryList({QStringLiteral("H01_*.xml")}, QDir::Files);
    QCOMPARE(saved.size(), 1);
    QVERIFY2(ascii(saved.first()), qPrintable(saved.first()));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString firstLine = out.section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(ascii(firstLine.section(QLatin1Char('\t'), 0, 0)), qPrintable(firstLine));
    DatabaseConnection db;
    QVERIFY(db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                                 QString()));
    {
        QSqlQuery q;
        QVERIFY(q.exec(QStringLiteral("SELECT last_connection_time FROM stations WHERE id = %1").arg(id)) &&
                q.next());
        const QString stored = q.value(0).toString();
        QVERIFY2(!stored.isEmpty() && ascii(stored), qPrintable(stored));
    }
    DatabaseConnection::close();
}

void tst_HeadlessCollector::addStationOption()
{
    QProcess bad;
    bad.setWorkingDirectory(bin);
    bad.start(qEnvironmentVariable("TQM510"),
              {QStringLiteral("--add-station"), QStringLiteral("A1,127.0.0.1,4380"),
               QStringLiteral("--add-station"), QStringLiteral("B1,127.0.0.1,70000")});
    QVERIFY(bad.waitForFinished(10000));
    QCOMPARE(bad.exitCode(), 1);
    QVERIFY(bad.readAllStandardError().contains("B1,127.0.0.1,70000"));
    QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("data/data.db"))));
    // A code names the station's folder and files: it may not climb out.
    for (const QString &code : {QStringLiteral("../../EVIL"), QStringLiteral(".."), QStringLiteral("a/b")}) {
        QProcess hostile;
        hostile.setWorkingDirectory(bin);
        hostile.start(qEnvironmentVariable("TQM510"),
                      {QStringLiteral("--add-station"), code + ",127.0.0.1,4380"});
        QVERIFY(hostile.waitForFinished(10000));
        QCOMPARE(hostile.exitCode(), 1);
        QVERIFY(hostile.readAllStandardError().contains("cannot name a folder"));
        QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("data/data.db"))));
    }

    QProcess good;
    good.setWorkingDirectory(bin);
    good.start(qEnvironmentVariable("TQM510"),
               {QStringLiteral("--add-station"), QStringLiteral("O'B1,127.0.0.1,4380"),
                QStringLiteral("--add-station"), QStringLiteral("C2,modem.example.org,5000,/srv/c2")});
    QVERIFY(good.waitForFinished(10000));
    QCOMPARE(good.exitCode(), 0);
    QCOMPARE(good.readAllStandardOutput(), QByteArray("1\tO'B1\n2\tC2\n"));

    // Station settings: the code ends at the first comma, the value may hold more.
    const auto setting = [this](const QStringList &texts) {
        QStringList args;
        for (const QString &t : texts)
            args << QStringLiteral("--station-setting") << t;
        QProcess p;
        p.setWorkingDirectory(bin);
        p.start(qEnvironmentVariable("TQM510"), args);
        return p.waitForFinished(10000) ? p.exitCode() : -1;
    };
    QCOMPARE(setting({"C2,exportFormats=waterml2,csv", "C2,utcOffset=+02:00"}), 0);
    QCOMPARE(setting({"C2,utcOffset=2"}), 1);
    QCOMPARE(setting({"NOPE,utcOffset=+01:00"}), 1);
    QCOMPARE(setting({"C2"}), 1);

    // The editor's rules: unreachable addresses and ports, a code already
    // stored; an optional device type, else the first visit's.
    const auto add = [this](const QString &station, QByteArray *error) {
        QProcess p;
        p.setWorkingDirectory(bin);
        p.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--add-station"), station});
        if (!p.waitForFinished(10000))
            return -1;
        *error = p.readAllStandardError();
        return p.exitCode();
    };
    QByteArray error;
    QCOMPARE(add(QStringLiteral("X3,999.1.1.1,4380"), &error), 1);
    QVERIFY2(error.contains("not an IPv4 address"), error.constData());
    QCOMPARE(add(QStringLiteral("X4,127.0.0.1,0"), &error), 1);
    QVERIFY2(error.contains("port"), error.constData());
    QCOMPARE(add(QStringLiteral("C2,127.0.0.1,4380"), &error), 1);
    QVERIFY2(error.contains("already used by station 2"), error.constData());
    QProcess twice;
    twice.setWorkingDirectory(bin);
    twice.start(qEnvironmentVariable("TQM510"),
                {QStringLiteral("--add-station"), QStringLiteral("T1,127.0.0.1,1"),
                 QStringLiteral("--add-station"), QStringLiteral("T1,127.0.0.1,2")});
    QVERIFY(twice.waitForFinished(10000));
    QCOMPARE(twice.exitCode(), 1);
    QVERIFY(twice.readAllStandardError().contains("the code is given twice"));
    QCOMPARE(add(QStringLiteral("D5,127.0.0.1,4380,,TQD310"), &error), 0);

    DatabaseConnection db;
    QVERIFY(db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                                 QString()));
    const QList<DBStation> stations = DatabaseConnection::selectStations();
    QCOMPARE(stations.size(), 3);
    QCOMPARE(stations.at(2).code, QStringLiteral("D5"));
    QCOMPARE(stations.at(2).device_type, QStringLiteral("TQD310"));
    QCOMPARE(stations.at(2).file_path, dir->filePath(QStringLiteral("files/D5")));
    QCOMPARE(stations.at(0).device_type, QString()); // the first visit records it
    QCOMPARE(stations.at(0).code, QStringLiteral("O'B1"));
    QCOMPARE(stations.at(0).file_path, dir->filePath(QStringLiteral("files/O'B1")));
    QVERIFY(stations.at(0).active);
    QCOMPARE(stations.at(1).ip, QStringLiteral("modem.example.org"));
    QCOMPARE(stations.at(1).port, 5000);
    QCOMPARE(stations.at(1).file_path, QStringLiteral("/srv/c2"));
    QCOMPARE(StationSettings::exportFormats(stations.at(1).id), (QStringList{"waterml2", "csv"}));
    QCOMPARE(StationSettings::utcOffsetMinutes(stations.at(1).id, QString()), 120);
    QVERIFY(StationSettings::exportFormats(stations.at(0).id).isEmpty());
}

void tst_HeadlessCollector::stopWhileSaveWaitsForFileLock()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    // The device's memory file of this clock names the data file.
    Simulator sim;
    QVERIFY2(sim.start(dir->path(), QStringLiteral("sim"),
                       R"({"clock": "03/12/26 12:00:00", "station": {"code": "H01"}})"),
             qPrintable(sim.error()));
    const int id = addStation(QStringLiteral("H01"), sim.port);
    const QString dataFile = dir->filePath(QStringLiteral("files/H01/H01_01122026.xml"));
    QVERIFY(QDir().mkpath(QFileInfo(dataFile).path()));
    // Another program is saving the same file and keeps its lock.
    QLockFile held(dataFile + QStringLiteral(".lock"));
    QVERIFY(held.tryLock(0));

    QProcess process;
    process.setWorkingDirectory(bin);
    process.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--headless")});
    QVERIFY(process.waitForStarted(10000));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("Saving files.."), 20000);
    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(15000));
    const qint64 stopMs = stopping.elapsed();
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(stopMs < 2000, qPrintable(QString::number(stopMs)));
    QVERIFY2(!err.contains("Destroyed while thread"), err.constData());
    const QString interrupted = QStringLiteral("Visit interrupted by stop while waiting to save %1")
                                    .arg(QDir::toNativeSeparators(dataFile));
    QCOMPARE(storedStatuses().value(id), interrupted);
    QVERIFY((out + process.readAllStandardOutput()).contains(interrupted.toUtf8() + '\n'));
    QVERIFY(!QFile::exists(dataFile));

    // Nothing was saved, so the next visit downloads the same pages again.
    // (The simulator's clock stands days back: no drift warning here.)
    QSettings(dir->filePath(QStringLiteral("bin/settings.ini")), QSettings::IniFormat)
        .setValue(QStringLiteral("SETTINGS/clockDriftWarnSeconds"), 999999999);
    held.unlock();
    QProcess again;
    QVERIFY(runOnce(again));
    QCOMPARE(again.exitCode(), 0);
    QCOMPARE(storedStatuses().value(id), QStringLiteral("Download completed."));
    const datatruth::Saved saved = datatruth::readXml(dataFile);
    QVERIFY(saved.lineCount > 100);
    const QString mismatch = datatruth::wholeTruthMismatch(sim.truthPath(), saved);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void tst_HeadlessCollector::lockedDatabaseKeepsStatusesUntilFree()
{
    const int a = addStation(QStringLiteral("R1"), closedPort());
    const int b = addStation(QStringLiteral("R2"), closedPort());
    {
        // Another process is in the middle of a long write.
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(dir->filePath(QStringLiteral("data/data.db")));
        QVERIFY(holder.open());
        QSqlQuery begin(holder);
        QVERIFY(begin.exec(QStringLiteral("BEGIN IMMEDIATE")));

        QProcess process;
        process.setWorkingDirectory(bin);
        process.start(qEnvironmentVariable("TQM510"),
                      {QStringLiteral("--headless"), QStringLiteral("--once")});
        QVERIFY(process.waitForStarted(10000));
        QByteArray out;
        QByteArray err;
        // Each line as its status comes, not after SQLite's busy wait (5 s
        // by default) for a store that fails anyway.
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).count('\n') == 4, 4000);
        QVERIFY(out.contains(QStringLiteral("\t%1\tR1\tConnection refused\n").arg(a).toUtf8()));
        QVERIFY(out.contains(QStringLiteral("\t%1\tR2\tConnection refused\n").arg(b).toUtf8()));
        QTRY_VERIFY((err += process.readAllStandardError()).contains("Could not store statuses"));
        // The round is over, but its statuses are not stored yet.
        QTest::qWait(300);
        QCOMPARE(process.state(), QProcess::Running);
        QCOMPARE(storedStatuses().value(a), fullStation().status);

        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("COMMIT")));
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 1);
        err += process.readAllStandardError();
        QVERIFY2(err.contains("The database is free again: 4 kept statuses stored."), err.constData());
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    const QMap<int, QString> statuses = storedStatuses();
    QCOMPARE(statuses.value(a), QStringLiteral("Connection refused"));
    QCOMPARE(statuses.value(b), QStringLiteral("Connection refused"));
}

void tst_HeadlessCollector::hangingMailServer_stopWithinFiveSeconds_codesStayOnOneLine()
{
    // A mail server that takes the connection and never answers, and a
    // station code with line breaks and placeholders in the store.
    SmtpSink sink;
    sink.mode = SmtpSink::Hang;
    const QString code = QStringLiteral("C\nWATCHDOG_USEC=1\t%1");
    const int id = addStation(code, closedPort());
    {
        QSettings ini(dir->filePath(QStringLiteral("bin/settings.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("SETTINGS/smtpServer"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("SETTINGS/smtpPort"), sink.port());
        ini.setValue(QStringLiteral("SETTINGS/alertAfterFailures"), 1);
        ini.setValue(QStringLiteral("SETTINGS/retryMinutes"), QString());
    }
    QProcess process;
    process.setWorkingDirectory(bin);
    process.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--headless")});
    QVERIFY(process.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(sink.connections > 0, 30000);
    QElapsedTimer stop;
    stop.start();
    ::kill(pid_t(process.processId()), SIGTERM);
    // The test's loop runs meanwhile: the sink keeps the connection open.
    QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 10000);
    QVERIFY2(stop.elapsed() < 5000, qPrintable(QString::number(stop.elapsed())));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("given up; they go out after the next start")), qPrintable(err));
    // One line per fact, each starting with its time.
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    for (const QString &line : lines)
        QVERIFY2(line.startsWith(QStringLiteral("20")) && line.count(QLatin1Char('\t')) == 3,
                 qPrintable(line));
    QVERIFY2(out.contains(QLatin1Char('\t') + QString::number(id) +
                          QStringLiteral("\tC\\nWATCHDOG_USEC=1\\t%1\t")),
             qPrintable(out));
    // The mail waits in the store for the next start.
    DatabaseConnection db;
    QVERIFY(db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                                 QString()));
    QVERIFY(StationStatsStore::load().value(id).pendingAlerts.contains(QStringLiteral("failing")));
    DatabaseConnection::close();

    // The status table keeps the code on its row.
    QProcess status;
    status.setWorkingDirectory(bin);
    status.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--status")});
    QVERIFY(status.waitForFinished(20000));
    const QStringList rows =
        QString::fromUtf8(status.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 2);
    QVERIFY2(rows.at(1).contains(QStringLiteral("C\\nWATCHDOG_USEC=1\\t%1")), qPrintable(rows.at(1)));
}

QTEST_GUILESS_MAIN(tst_HeadlessCollector)
#include "tst_headlesscollector.moc"
