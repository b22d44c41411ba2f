// A simulated river logger collected by collectors sharing one PostgreSQL
// store, its quality tests and a high-water alarm set: every stored flag
// checked against the QARTOD rules written out again in the test, over visits
// that end inside a flat line and between the alarm's raising and its
// clearing; one mail each way, though the collector that raised the alarm was
// killed right after its commit; the alarm on the event stream within 2 s;
// no alarm for a spike.

#include "../common/simulator.h"
#include "../common/smtpsink.h"
#include "support/postgresserver.h"
#include "support/qartodreference.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString code = QStringLiteral("R01");
// High water from 2.9, cleared below 2.7.
const QString alarms = QStringLiteral("high=2.9,2.7");

// The river with one change: the value outside the operator limits lies
// below them, where no alarm is set, so the only values above the high
// limit are the flood and a spike.
QVector<QartodFlags::Point> river()
{
    QVector<QartodFlags::Point> s = qartodref::riverSeries();
    s[200].value = -0.5;
    return s;
}

// The logger's memory holding the first `count` values: a time stamp every
// hour and after the hole, a measurement every 10 minutes.
QByteArray scenario(const QVector<QartodFlags::Point> &s, int count)
{
    QStringList records;
    qint64 stamp = -1;
    const auto time = [](qint64 minute) {
        return QDateTime::fromSecsSinceEpoch(minute * 60, Qt::UTC).toString(QStringLiteral("dd/MM/yy hh:mm"));
    };
    for (int i = 0; i < count; ++i) {
        if (stamp < 0 || s[i].minute - stamp >= 60) {
            stamp = s[i].minute;
            records << QStringLiteral(R"({"type": "timestamp", "time": "%1"})").arg(time(stamp));
        }
        records << QStringLiteral(R"({"type": "measurement", "minutes": %1, "values": [%2]})")
                       .arg(s[i].minute - stamp)
                       .arg(s[i].value, 0, 'g', 9);
    }
    return QStringLiteral(R"({"station": {"code": "%1"}, "channels": [{"state": 1, "name": "Level",
        "code": 49, "unit": "m", "interval": 10}], "memory": {"records": [%2]}})")
        .arg(code, records.join(QLatin1Char(',')))
        .toUtf8();
}

struct Collector
{
    QProcess process;
    QByteArray output;
};

} // namespace

class tst_RiverAlarms : public QObject
{
    Q_OBJECT

private slots:
    void floodAndSpikesThroughTwoCollectors();

private:
    QSqlDatabase store();
    // Runs tqm510 on the store until it ends; its exit code.
    int run(const QString &workdir, const QStringList &args);
    // args: the mode and its options.
    Collector *start(const QString &workdir, const QString &name, const QStringList &args);
    // Ends the collecting collectors and waits for them.
    void stopCollecting();
    // Starts the logger with the first `count` values and points the station at it.
    void serve(int count);
    int storedCount();

    std::unique_ptr<PostgresServer> server;
    QTemporaryDir dir;
    std::unique_ptr<Simulator> logger;
    std::vector<std::unique_ptr<Collector>> collectors;
};

QSqlDatabase tst_RiverAlarms::store()
{
    const QString name = QStringLiteral("check");
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    return server->connect(name);
}

int tst_RiverAlarms::run(const QString &workdir, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(qEnvironmentVariable("TQM510"),
            QStringList{QStringLiteral("--workdir"), workdir, QStringLiteral("--database"), server->url()} +
                args);
    if (!p.waitForFinished(30000))
        return -1;
    return p.exitCode();
}

Collector *tst_RiverAlarms::start(const QString &workdir, const QString &name, const QStringList &args)
{
    collectors.push_back(std::make_unique<Collector>());
    Collector *c = collectors.back().get();
    c->process.setProcessChannelMode(QProcess::MergedChannels);
    connect(&c->process, &QProcess::readyRead, this, [c] { c->output += c->process.readAll(); });
    c->process.setWorkingDirectory(dir.path());
    c->process.start(qEnvironmentVariable("TQM510"),
                     QStringList{QStringLiteral("--workdir"), workdir, QStringLiteral("--database"),
                                 server->url(), QStringLiteral("--collector-id"), name} +
                         args);
    return c;
}

void tst_RiverAlarms::stopCollecting()
{
    for (auto &one : collectors) {
        if (one->process.state() == QProcess::NotRunning ||
            one->process.arguments().contains(QStringLiteral("--serve")))
            continue;
        one->process.terminate();
        QVERIFY(one->process.waitForFinished(15000));
        QCOMPARE(one->process.exitCode(), 0);
    }
}

void tst_RiverAlarms::serve(int count)
{
    logger.reset();
    logger = std::make_unique<Simulator>();
    QVERIFY2(logger->start(dir.path(), QStringLiteral("river%1").arg(count), scenario(river(), count)),
             qPrintable(logger->error()));
    QSqlQuery q(store());
    q.prepare(QStringLiteral("UPDATE stations SET port = ? WHERE code = ?"));
    q.addBindValue(logger->port);
    q.addBindValue(code);
    QVERIFY(q.exec());
}

int tst_RiverAlarms::storedCount()
{
    QSqlQuery q(store());
    return q.exec(
               QStringLiteral("SELECT COUNT(*) FROM station_values WHERE slot = 0 AND value_type = 'INS'")) &&
                   q.next()
               ? q.value(0).toInt()
               : -1;
}

void tst_RiverAlarms::floodAndSpikesThroughTwoCollectors()
{
    if (!PostgresServer::available())
        QSKIP("the PostgreSQL server programs are not installed (Debian package postgresql)");
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    server = std::make_unique<PostgresServer>();
    QVERIFY2(server->start(), qPrintable(server->error()));
    // Visits every 3 s, leases of 3 s.
    qputenv("TQM510_MINUTE_MS", "50");
    qputenv("TQM510_LEASE_SECONDS", "3");
    qputenv("TQM510_LEASE_RENEW_MS", "500");
    SmtpSink sink;
    const QString a = dir.filePath(QStringLiteral("a")), b = dir.filePath(QStringLiteral("b")),
                  c = dir.filePath(QStringLiteral("c"));
    for (const QString &w : {a, b, c}) {
        QDir().mkpath(w);
        QSettings ini(QDir(w).filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("SETTINGS/smtpServer"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("SETTINGS/smtpPort"), sink.port());
        // The logger is away while it is swapped: no failing mail for that.
        ini.setValue(QStringLiteral("SETTINGS/alertAfterFailures"), 1000);
    }
    QCOMPARE(run(a, {QStringLiteral("--add-station"), code + QStringLiteral(",127.0.0.1,1,files/") + code}),
             0);
    QCOMPARE(run(a, {QStringLiteral("--station-setting"),
                     code + QStringLiteral(",quality:0=") + qartodref::allTests,
                     QStringLiteral("--station-setting"), code + QStringLiteral(",alarms:0=") + alarms}),
             0);
    {
        QSqlQuery q(store());
        QVERIFY(q.exec(QStringLiteral("UPDATE stations SET email = 1, emaillist = 'duty@example.org'")));
    }

    // The first visit ends inside the stuck stretch, the second after the
    // flood began, the third after it fell.
    const QVector<QartodFlags::Point> series = river();
    serve(520);
    // The stream comes from a web machine of the store that does not collect.
    Collector *web =
        start(a, QStringLiteral("web"),
              {QStringLiteral("--serve"), QStringLiteral("--http"), QStringLiteral("127.0.0.1:0")});
    const QStringList collecting{QStringLiteral("--headless")};
    start(b, QStringLiteral("b"), collecting);
    start(c, QStringLiteral("c"), collecting);
    QTRY_VERIFY_WITH_TIMEOUT(web->output.contains("Serving on port"), 20000);
    const quint16 httpPort = quint16(QRegularExpression(QStringLiteral("Serving on port (\\d+)"))
                                         .match(QString::fromUtf8(web->output))
                                         .captured(1)
                                         .toUInt());
    QTcpSocket events;
    events.connectToHost(QHostAddress::LocalHost, httpPort);
    QVERIFY(events.waitForConnected(5000));
    events.write("GET /api/v1/events HTTP/1.0\r\nHost: localhost\r\n\r\n");
    QByteArray stream;
    QElapsedTimer clock;
    clock.start();
    // Each alarm event and when it arrived.
    QList<QPair<QJsonObject, qint64>> alarmEvents;
    int statusEvents = 0;
    connect(&events, &QTcpSocket::readyRead, this, [&] {
        stream += events.readAll();
        int end;
        while ((end = stream.indexOf("\n\n")) >= 0) {
            const QByteArray block = stream.left(end);
            stream.remove(0, end + 2);
            if (block.contains("event: status\n"))
                ++statusEvents;
            if (block.startsWith("event: alarm\ndata: "))
                alarmEvents.append({QJsonDocument::fromJson(block.mid(19)).object(), clock.elapsed()});
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(storedCount(), 520, 30000);
    // The web machine has read the store since: an alarm raised from now on
    // is news to it.
    QTRY_VERIFY_WITH_TIMEOUT(statusEvents > 0, 10000);

    // The flood's first values are committed by a collector killed right
    // after its commit, the others stopped: the mail it owed is sent, once,
    // by one of the two when they start again.
    stopCollecting();
    serve(590);
    {
        QProcess killed;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TQM510_KILL_AT"), QStringLiteral("after-commit"));
        killed.setProcessEnvironment(env);
        killed.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        killed.setStandardOutputFile(QProcess::nullDevice());
        killed.start(qEnvironmentVariable("TQM510"),
                     {QStringLiteral("--workdir"), dir.filePath(QStringLiteral("k")),
                      QStringLiteral("--database"), server->url(), QStringLiteral("--collector-id"),
                      QStringLiteral("k"), QStringLiteral("--headless"), QStringLiteral("--once")});
        QVERIFY(killed.waitForFinished(30000));
        QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
    }
    QCOMPARE(storedCount(), 590);
    const auto alarmUp = [&] {
        QSqlQuery q(store());
        return q.exec(QStringLiteral("SELECT state FROM channel_alarms WHERE slot = 0")) && q.next() &&
               QJsonDocument::fromJson(q.value(0).toByteArray()).object().contains(QStringLiteral("high"));
    };
    QVERIFY(alarmUp());
    // The stream tells it within 2 s of the commit.
    const qint64 raisedSeen = clock.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(alarmEvents.size(), 1, 3000);
    QVERIFY2(alarmEvents.at(0).second - raisedSeen < 2000,
             qPrintable(QString::number(alarmEvents.at(0).second - raisedSeen)));
    QCOMPARE(alarmEvents.at(0).first.value(QStringLiteral("raised")).toBool(), true);
    QCOMPARE(alarmEvents.at(0).first.value(QStringLiteral("code")).toString(), code);
    QCOMPARE(sink.mails.size(), 0);
    start(b, QStringLiteral("b"), collecting);
    start(c, QStringLiteral("c"), collecting);
    QTRY_COMPARE_WITH_TIMEOUT(sink.mails.size(), 1, 10000);

    // Cleared by whichever of the two visits next: on the stream within 2 s
    // of the store's holding it.
    serve(700);
    QTRY_COMPARE_WITH_TIMEOUT(storedCount(), 700, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!alarmUp(), 5000);
    const qint64 clearedSeen = clock.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(alarmEvents.size(), 2, 3000);
    QVERIFY(alarmEvents.at(1).second - clearedSeen < 2000);
    QCOMPARE(alarmEvents.at(1).first.value(QStringLiteral("raised")).toBool(), false);
    QTRY_COMPARE_WITH_TIMEOUT(sink.mails.size(), 2, 10000);

    // One mail each way, from whichever collector committed the value: the
    // raising names the first value above 2.9 after the spike at 100 (a
    // fail, which raised nothing), the clearing the first below 2.7 after it.
    int raiseAt = -1, clearAt = -1;
    for (int i = 101; i < series.size() && clearAt < 0; ++i) {
        if (series[i].missing)
            continue;
        if (raiseAt < 0 && series[i].value > 2.9)
            raiseAt = i;
        else if (raiseAt >= 0 && series[i].value < 2.7)
            clearAt = i;
    }
    QVERIFY(raiseAt > 520 && raiseAt < 590 && clearAt >= 590);
    const auto at = [&](int i) {
        return QDateTime::fromSecsSinceEpoch(series[i].minute * 60, Qt::UTC)
            .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    };
    QVERIFY(sink.mails.at(0).subject().contains(QStringLiteral("high alarm on channel 0 (")));
    QVERIFY2(sink.mails.at(0).data.contains(at(raiseAt).toUtf8()), sink.mails.at(0).data.constData());
    QVERIFY(sink.mails.at(1).subject().endsWith(QStringLiteral(" cleared")));
    QVERIFY2(sink.mails.at(1).data.contains(at(clearAt).toUtf8()), sink.mails.at(1).data.constData());

    // Every stored flag is what the rules give over the whole series, read
    // as the store keeps the values.
    QSqlQuery q(store());
    QVERIFY(q.exec(QStringLiteral("SELECT at, value, flag FROM station_values WHERE slot = 0 AND "
                                  "value_type = 'INS' ORDER BY at")));
    qartodref::Reference ref;
    QString error;
    QVERIFY(QartodFlags::Settings::parse(qartodref::allTests, &ref.c, &error));
    QList<quint8> flags;
    QStringList times;
    while (q.next()) {
        qint64 minute = 0;
        QVERIFY(QartodFlags::parseMinute(q.value(0).toString(), &minute));
        ref.s.append(QartodFlags::point(minute, q.value(1).toString()));
        flags << quint8(q.value(2).toInt());
        times << q.value(0).toString();
    }
    QCOMPARE(ref.s.size(), series.size());
    QMap<int, int> seen;
    for (int i = 0; i < ref.s.size(); ++i) {
        // The logger's values, at their times.
        QCOMPARE(times.at(i), at(i));
        QVERIFY2(series[i].missing ? ref.s[i].missing : std::fabs(ref.s[i].value - series[i].value) < 0.001,
                 qPrintable(times.at(i)));
        QVERIFY2(flags.at(i) == ref.at(i).flag, qPrintable(QStringLiteral("%1: stored %2, rules %3")
                                                               .arg(times.at(i))
                                                               .arg(flags.at(i))
                                                               .arg(ref.at(i).flag)));
        ++seen[flags.at(i)];
    }
    // Each kind of flag is there: the series has them all.
    for (int flag : {1, 3, 4, 9})
        QVERIFY2(seen.value(flag) > 0, qPrintable(QString::number(flag)));
    QCOMPARE(flags.at(100), quint8(4));

    // Nothing more owed, nothing more sent.
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM alarm_mails")) && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    QTest::qWait(500);
    QCOMPARE(sink.mails.size(), 2);
    QCOMPARE(alarmEvents.size(), 2);
    for (auto &one : collectors) {
        if (one->process.state() == QProcess::NotRunning)
            continue;
        one->process.terminate();
        QVERIFY(one->process.waitForFinished(15000));
    }
    QSqlDatabase::database(QStringLiteral("check")).close();
}

QTEST_GUILESS_MAIN(tst_RiverAlarms)
#include "tst_riveralarms.moc"
