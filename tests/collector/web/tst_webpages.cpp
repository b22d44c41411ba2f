#include "../common/simulator.h"
#include "store/databaseconnection.h"
#include "webcollector.h"

#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

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

private:
    int addStation(const QString &code, const QString &title, quint16 port);
    bool startTqm510(QProcess &process, const QStringList &args, quint16 *port);
    void runBrowser(const QStringList &args);
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

void tst_WebPages::runBrowser(const QStringList &args)
{
    if (QStandardPaths::findExecutable(QStringLiteral("chromedriver"), {QStringLiteral("/usr/bin")})
            .isEmpty())
        QSKIP("chromium-driver is not installed");
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{qEnvironmentVariable("DASHBOARD_TEST")} + args);
    QVERIFY(python.waitForStarted(10000));
    QVERIFY(python.waitForFinished(180000));
    const QByteArray output = python.readAll();
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

QTEST_GUILESS_MAIN(tst_WebPages)
#include "tst_webpages.moc"
