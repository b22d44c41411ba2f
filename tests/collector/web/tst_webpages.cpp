#include "../common/simulator.h"
#include "nexil/files/datafilewriter.h"
#include "store/databaseconnection.h"
#include "store/stationsettings.h"
#include "store/visitcommit.h"
#include "webcollector.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

// The dashboard in a real browser: tqm510 collecting from simulated loggers
// (or serving with accounts), the pages driven by a Selenium script in
// headless Chromium.
class tst_WebPages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pagesLibrariesAndTilesUnderTheStrictPolicy();
    void overviewStationMapAndFieldViewAgainstACollector();
    void loginPageAndAViewerWithoutOperatorButtons();
    void valueAlarmsAndQualityFlagsOnTheOverviewAndTheChart();

private:
    int addStation(const QString &code, const QString &title, quint16 port);
    bool startTqm510(QProcess &process, const QStringList &args, quint16 *port);
    // `answer` is called for each line the script writes that starts with
    // "commit "; its reply goes back as one line on the script's input.
    void runBrowser(const QStringList &args,
                    const std::function<QByteArray(const QByteArray &)> &answer = nullptr);
    static QByteArray get(quint16 port, const QByteArray &path, QByteArray *headers);
    void stop(QProcess &process);

    std::unique_ptr<QTemporaryDir> dir;
    QString bin;
};

static const QString hostileTitle = QStringLiteral("<img src=x onerror=alert(1)>");

void tst_WebPages::init()
{
    if (QStandardPaths::findExecutable(QStringLiteral("chromedriver"), {QStringLiteral("/usr/bin")})
            .isEmpty())
        QSKIP("chromium-driver is not installed");
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    bin = dir->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(dir->filePath(QStringLiteral("data"))));
    QSettings settings(dir->filePath(QStringLiteral("bin/settings.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("SETTINGS/httpLibraries"), qEnvironmentVariable("WEBLIBS"));
}

void tst_WebPages::cleanup()
{
    DatabaseConnection::close();
    dir.reset();
}

int tst_WebPages::addStation(const QString &code, const QString &title, quint16 port)
{
    return webcollector::addStation(dir->path(), code, title, port);
}

bool tst_WebPages::startTqm510(QProcess &process, const QStringList &args, quint16 *port)
{
    return webcollector::startServing(process, bin, args, port);
}

QByteArray tst_WebPages::get(quint16 port, const QByteArray &path, QByteArray *headers)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return QByteArray();
    socket.write("GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n");
    QByteArray raw;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        raw += socket.readAll();
    raw += socket.readAll();
    const int end = raw.indexOf("\r\n\r\n");
    *headers = raw.left(end);
    return raw.mid(end + 4);
}

void tst_WebPages::runBrowser(const QStringList &args,
                              const std::function<QByteArray(const QByteArray &)> &answer)
{
    if (QStandardPaths::findExecutable(QStringLiteral("chromedriver"), {QStringLiteral("/usr/bin")})
            .isEmpty())
        QSKIP("chromium-driver is not installed");
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{qEnvironmentVariable("DASHBOARD_TEST")} + args);
    QVERIFY(python.waitForStarted(10000));
    QByteArray output;
    QDeadlineTimer deadline(180000);
    int scanned = 0;
    while (python.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        python.waitForReadyRead(100);
        output += python.readAll();
        int end;
        while ((end = output.indexOf('\n', scanned)) >= 0) {
            const QByteArray line = output.mid(scanned, end - scanned);
            scanned = end + 1;
            if (answer && line.startsWith("commit "))
                python.write(answer(line.mid(7)) + '\n');
        }
    }
    QVERIFY(python.state() == QProcess::NotRunning || python.waitForFinished(1000));
    output += python.readAll();
    qInfo("%s", output.constData());
    QVERIFY2(python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0, output.constData());
}

void tst_WebPages::stop(QProcess &process)
{
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void tst_WebPages::pagesLibrariesAndTilesUnderTheStrictPolicy()
{
    QVERIFY(addStation(QStringLiteral("P01"), hostileTitle, 9) > 0);
    {
        QSettings settings(dir->filePath(QStringLiteral("bin/settings.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("SETTINGS/httpTiles"),
                          QStringLiteral("https://{s}.tiles.example.org/{z}/{x}/{y}.png"));
    }
    QProcess server;
    quint16 port = 0;
    QVERIFY(startTqm510(
        server, {QStringLiteral("--serve"), QStringLiteral("--http"), QStringLiteral("127.0.0.1:0")}, &port));
    QByteArray headers;
    // Pages and their scripts, each under the policy without inline script;
    // the tile server's origin is the one other place images may come from.
    for (const char *path : {"/", "/map", "/station?code=P01", "/login", "/static/overview.js", "/field"}) {
        const QByteArray body = get(port, path, &headers);
        QVERIFY2(headers.startsWith("HTTP/1.0 200") || headers.startsWith("HTTP/1.1 200"), path);
        QVERIFY2(headers.contains("script-src 'self';"), path);
        QVERIFY2(!headers.contains("unsafe-inline"), path);
        QVERIFY2(headers.contains("img-src 'self' data: https://*.tiles.example.org;"), headers.constData());
        QVERIFY2(!body.isEmpty(), path);
    }
    QVERIFY(get(port, "/settings.js", &headers).contains("https://{s}.tiles.example.org/{z}/{x}/{y}.png"));
    // The field view: no script, the title escaped.
    const QByteArray field = get(port, "/field?lang=tr", &headers);
    QVERIFY(!field.contains("<script"));
    QVERIFY(field.contains("&lt;img src=x onerror=alert(1)&gt;"));
    QVERIFY(field.contains("İstasyonlar"));
    // Only the listed library files, nothing else of the folder or beyond it.
    QVERIFY(get(port, "/lib/leaflet/leaflet.js", &headers).size() > 10000);
    QVERIFY(headers.contains("text/javascript"));
    get(port, "/lib/leaflet/leaflet.esm.js", &headers);
    QVERIFY(headers.contains(" 404 "));
    get(port, "/lib/../../etc/passwd", &headers);
    QVERIFY(headers.contains(" 400 ") || headers.contains(" 404 "));
    get(port, "/static/../webapi.cpp", &headers);
    QVERIFY(headers.contains(" 400 ") || headers.contains(" 404 "));
    // A workbook is made whole, so it needs a bounded range.
    get(port, "/api/v1/stations/P01/data?format=xlsx", &headers);
    QVERIFY(headers.contains(" 400 "));
    get(port, "/api/v1/stations/P01/data?format=xlsx&from=2020-01-01&to=2026-01-01", &headers);
    QVERIFY(headers.contains(" 400 "));
    stop(server);
}

void tst_WebPages::overviewStationMapAndFieldViewAgainstACollector()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator logger;
    // The first channel's sensor fails now and then, the second's always.
    QVERIFY2(logger.start(dir->path(), QStringLiteral("h01"),
                          R"({"station": {"code": "H01"}, "memory": {"generator": {"channels": [
                                {"shape": "river", "base": 110, "amplitude": 160, "errorRate": 0.05},
                                {"shape": "sine", "base": 20, "amplitude": 5, "errorRate": 1}]}}})"),
             qPrintable(logger.error()));
    QVERIFY(addStation(QStringLiteral("H01"), QStringLiteral("Köprü H01"), logger.port) > 0);
    // Nothing listens on the discard port: this one fails.
    QVERIFY(addStation(QStringLiteral("X01"), hostileTitle, 9) > 0);
    // A title of 5,000 characters without a blank, on a disabled station.
    const QString longTitle = QStringLiteral("Ş") + QString(4999, QLatin1Char('W'));
    QVERIFY(webcollector::addStation(dir->path(), QStringLiteral("LONG"), longTitle, 9, false) > 0);
    QProcess collector;
    quint16 port = 0;
    QVERIFY(startTqm510(
        collector, {QStringLiteral("--headless"), QStringLiteral("--http"), QStringLiteral("127.0.0.1:0")},
        &port));
    // The first download saved, so the station page has data.
    QTRY_VERIFY_WITH_TIMEOUT(
        !QDir(dir->filePath(QStringLiteral("files/H01"))).entryList({QStringLiteral("H01_*.xml")}).isEmpty(),
        60000);
    runBrowser({QStringLiteral("collector"), QStringLiteral("http://localhost:%1").arg(port),
                dir->filePath(QStringLiteral("files")), QStringLiteral("H01"), QStringLiteral("X01"),
                hostileTitle, QStringLiteral("LONG")});
    stop(collector);
}

void tst_WebPages::loginPageAndAViewerWithoutOperatorButtons()
{
    QVERIFY(addStation(QStringLiteral("A01"), QStringLiteral("Irmak A01"), 9) > 0);
    QProcess add;
    add.setWorkingDirectory(bin);
    add.start(qEnvironmentVariable("TQM510"), {QStringLiteral("--add-user"), QStringLiteral("vera"),
                                               QStringLiteral("--role"), QStringLiteral("viewer")});
    add.write("viewer-secret\n");
    add.closeWriteChannel();
    QVERIFY(add.waitForFinished(30000) && add.exitCode() == 0);
    QProcess server;
    quint16 port = 0;
    QVERIFY(startTqm510(
        server, {QStringLiteral("--serve"), QStringLiteral("--http"), QStringLiteral("127.0.0.1:0")}, &port));
    runBrowser({QStringLiteral("accounts"), QStringLiteral("http://localhost:%1").arg(port),
                QStringLiteral("vera"), QStringLiteral("viewer-secret")});
    stop(server);
}

namespace {

// A visit's values of the river's level (slot 2, the file's second channel)
// and the battery (slot 1, the first) committed as another collector would,
// into a folder this server does not have: the store holds them all.
QString commitLevels(int stationId, int page, const QList<QPair<QString, double>> &levels)
{
    VisitCommit commit;
    commit.target = {stationId, QStringLiteral("Q01_01122026.xml"),
                     QStringLiteral("elsewhere:/srv/files/Q01")};
    commit.point.page = page;
    commit.point.timeBase = QDateTime(QDate(2026, 12, 1), QTime(0, 0));
    DataFileHeader header;
    header.stationCode = QStringLiteral("Q01");
    header.channelCount = QStringLiteral("2");
    header.channels = {{QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("Battery"),
                        QStringLiteral("V"), QStringLiteral("10")},
                       {QStringLiteral("1"), QStringLiteral("1"),
                        QStringLiteral("<img src=x onerror=alert(3)>"), QStringLiteral("cm"),
                        QStringLiteral("10")}};
    commit.header = DataFileWriter::headerElement(header);
    for (const auto &l : levels) {
        commit.values.append({2, QStringLiteral("INS"), l.first, QString::number(l.second, 'f', 4), false, 1,
                              QStringLiteral("1"), QStringLiteral("cm")});
        commit.values.append({1, QStringLiteral("INS"), l.first,
                              l.first.endsWith(QLatin1String("01:10")) ? QStringLiteral("-9999.0000")
                                                                       : QStringLiteral("12.5000"),
                              false, 0, QStringLiteral("7"), QStringLiteral("V")});
    }
    const VisitCommit::Outcome outcome = commit.run(DatabaseConnection::connectionName());
    if (outcome.result != VisitCommit::Committed)
        return QStringLiteral("failed: ") + outcome.error;
    QStringList said;
    for (const ChannelChecks::Alarm &a : outcome.alarms)
        said << (a.event.raised ? QStringLiteral("raised ") : QStringLiteral("cleared ")) +
                    ValueAlarms::kindName(a.event.kind);
    return said.isEmpty() ? QStringLiteral("none") : said.join(QLatin1Char(','));
}

} // namespace

void tst_WebPages::valueAlarmsAndQualityFlagsOnTheOverviewAndTheChart()
{
    const QString hostile = QStringLiteral("\"><svg onload=alert(4)>Q01");
    const int id = addStation(QStringLiteral("Q01"), hostile, 9);
    QVERIFY(id > 0);
    QVERIFY(addStation(QStringLiteral("Q02"), QStringLiteral("Sakin Q02"), 9) > 0);
    // The level: outside 0..200 fails, outside 50..150 is suspect; a high
    // alarm at 140, cleared below 120.
    QJsonArray suspect, failed;
    QList<QPair<QString, double>> first;
    for (int i = 0; i < 24; ++i) {
        const QDateTime at = QDateTime(QDate(2026, 12, 1), QTime(0, 0)).addSecs(i * 600);
        double level = i > 18 ? 130 : 100 + i;
        if (i == 5)
            level = 250; // fails: no alarm for it
        else if (i == 14)
            level = -5;
        else if (i == 9)
            level = 40;
        else if (i == 18)
            level = 160; // suspect, and it raises the alarm
        first.append({at.toString(QStringLiteral("yyyy-MM-dd hh:mm")), level});
        const QString minute = at.toString(QStringLiteral("yyyy-MM-ddThh:mm"));
        if (level < 0 || level > 200)
            failed.append(minute);
        else if (level < 50 || level > 150)
            suspect.append(minute);
    }
    {
        DatabaseConnection db;
        QVERIFY(db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                                     QString()));
        QString why;
        QVERIFY2(StationSettings::setValue(id, QStringLiteral("quality:2"),
                                           QStringLiteral("gross=0,200;user=50,150"), &why),
                 qPrintable(why));
        QVERIFY2(
            StationSettings::setValue(id, QStringLiteral("alarms:2"), QStringLiteral("high=140,120"), &why),
            qPrintable(why));
        QCOMPARE(commitLevels(id, 1, first), QStringLiteral("raised high"));
    }
    const QString expected = dir->filePath(QStringLiteral("expected.json"));
    {
        QFile f(expected);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QJsonDocument(QJsonObject{{QStringLiteral("suspect"), suspect},
                                          {QStringLiteral("failed"), failed},
                                          {QStringLiteral("channel"), 1},
                                          {QStringLiteral("high"), 140},
                                          {QStringLiteral("clear"), 120},
                                          {QStringLiteral("channelName"),
                                           QStringLiteral("<img src=x onerror=alert(3)>")},
                                          {QStringLiteral("title"), hostile}})
                    .toJson());
    }
    QProcess server;
    quint16 port = 0;
    QVERIFY(startTqm510(
        server, {QStringLiteral("--serve"), QStringLiteral("--http"), QStringLiteral("127.0.0.1:0")}, &port));
    // The script asks for the alarm to be cleared and raised again while
    // its pages are open.
    int page = 1;
    runBrowser({QStringLiteral("alarms"), QStringLiteral("http://localhost:%1").arg(port), expected},
               [&](const QByteArray &what) {
                   const QList<QPair<QString, double>> levels =
                       what == "clear" ? QList<QPair<QString, double>>{{"2026-12-01 04:00", 110},
                                                                       {"2026-12-01 04:10", 105}}
                                       : QList<QPair<QString, double>>{{"2026-12-01 04:20", 145}};
                   return commitLevels(id, ++page, levels).toUtf8();
               });
    DatabaseConnection::close();
    stop(server);
}

QTEST_GUILESS_MAIN(tst_WebPages)
#include "tst_webpages.moc"
