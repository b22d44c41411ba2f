#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "store/databaseconnection.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
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

    void overviewStationMapAndFieldViewAgainstACollector();
    void loginPageAndAViewerWithoutOperatorButtons();

private:
    int addStation(const QString &code, const QString &title, quint16 port);
    bool startTqm510(QProcess &process, const QStringList &args, quint16 *port);
    void runBrowser(const QStringList &args);
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
    DatabaseConnection db;
    if (!db.connectToDatabase(dir->filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                              QString()))
        return -1;
    DBStation s = fullStation(code);
    s.code = code;
    s.title = title;
    s.ip = QStringLiteral("127.0.0.1");
    s.port = port;
    s.active = true;
    s.download_data = true;
    s.export_excel = false;
    s.file_path = dir->filePath(QStringLiteral("files/") + code);
    s.file_name = code;
    const int id = DatabaseConnection::insertStation(s);
    DatabaseConnection::close();
    return id;
}

bool tst_WebPages::startTqm510(QProcess &process, const QStringList &args, quint16 *port)
{
    process.setWorkingDirectory(bin);
    process.setProgram(qEnvironmentVariable("TQM510"));
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    QByteArray seen;
    const QRegularExpression serving(QStringLiteral("Serving on port (\\d+)"));
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        seen += process.readAll();
        const QRegularExpressionMatch m = serving.match(QString::fromUtf8(seen));
        if (m.hasMatch()) {
            *port = quint16(m.captured(1).toUInt());
            return true;
        }
    }
    qWarning("%s", seen.constData());
    return false;
}

void tst_WebPages::runBrowser(const QStringList &args)
{
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

void tst_WebPages::overviewStationMapAndFieldViewAgainstACollector()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator logger;
    QVERIFY2(logger.start(dir->path(), QStringLiteral("h01"), R"({"station": {"code": "H01"}})"),
             qPrintable(logger.error()));
    QVERIFY(addStation(QStringLiteral("H01"), QStringLiteral("Köprü H01"), logger.port) > 0);
    // Nothing listens on the discard port: this one fails.
    QVERIFY(addStation(QStringLiteral("X01"), hostileTitle, 9) > 0);
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
                hostileTitle});
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
