#include "../common/metricsparser.h"
#include "collection/alertpolicy.h"
#include "collection/clockcheck.h"
#include "collection/collectionoptions.h"
#include "collection/mainloopprobe.h"
#include "collection/memoryforecast.h"
#include "collection/memorytrim.h"
#include "collection/metricsfile.h"
#include "collection/retryschedule.h"
#include "collection/saveturns.h"
#include "collection/smtpmailer.h"
#include "collection/stationmonitor.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <vector>

// The collection's decisions, without sockets or a database.
class tst_CollectionLogic : public QObject
{
    Q_OBJECT

private slots:
    void retryTiersThenPeriod();
    void retryMinutesSetting();
    void clockDriftAndDailySync();
    void memoryForecastFromVisits();
    void memoryForecastWithoutGrowth();
    void alertThresholdRateLimitAndRecovery();
    void metricsTextReadByParser();
    void mainLoopProbeSeesAStall();
    void allocatorTunablesKeepTheOperators();
    void saveTurnsAtMostTheLimit_aStopGivesUpTheWait();
    void mailSubjectStaysOneLine();
    void metricsFileWritesAtMostEveryInterval();
};

void tst_CollectionLogic::retryTiersThenPeriod()
{
    RetrySchedule r({2, 5, 15});
    QCOMPARE(r.onFailure(60), 2);
    QCOMPARE(r.pendingRetry(), 1);
    QCOMPARE(r.onFailure(60), 5);
    QCOMPARE(r.onFailure(60), 15);
    QCOMPARE(r.pendingRetry(), 3);
    // Tiers used up: the regular period, for as long as it keeps failing.
    QCOMPARE(r.onFailure(60), 60);
    QCOMPARE(r.pendingRetry(), 0);
    QCOMPARE(r.onFailure(60), 60);
    QCOMPARE(r.consecutiveFailures(), 5);
    r.onSuccess();
    QCOMPARE(r.consecutiveFailures(), 0);
    QCOMPARE(r.onFailure(60), 2);

    // Never later than the period.
    RetrySchedule shortPeriod({2, 5, 15});
    QCOMPARE(shortPeriod.onFailure(10), 2);
    QCOMPARE(shortPeriod.onFailure(10), 5);
    QCOMPARE(shortPeriod.onFailure(10), 10);

    RetrySchedule off(QList<int>{});
    QCOMPARE(off.onFailure(30), 30);
    QCOMPARE(off.pendingRetry(), 0);
}

void tst_CollectionLogic::retryMinutesSetting()
{
    QCOMPARE(CollectionOptions::parseMinutes(QStringLiteral(" 1, 4 ,x,0,-3,9")), (QList<int>{1, 4, 9}));
    QVERIFY(CollectionOptions::parseMinutes(QString()).isEmpty());

    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("settings.ini"));
    QCOMPARE(CollectionOptions::load(ini).retryMinutes, (QList<int>{2, 5, 15}));
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("SETTINGS/retryMinutes"), QStringLiteral("3,7"));
        s.setValue(QStringLiteral("SETTINGS/clockDriftWarnSeconds"), QStringLiteral("nonsense"));
        s.setValue(QStringLiteral("SETTINGS/clockSync"), true);
    }
    CollectionOptions o = CollectionOptions::load(ini);
    QCOMPARE(o.retryMinutes, (QList<int>{3, 7}));
    QCOMPARE(o.clockDriftWarnSeconds, 120);
    QVERIFY(o.clockSync);
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("SETTINGS/retryMinutes"), QString());
    }
    QVERIFY(CollectionOptions::load(ini).retryMinutes.isEmpty());

    // Texts as an administrator types them: read whole, whatever they hold.
    const QString odd = QStringLiteral("pa,ss;w0rd = \" \\ x");
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[SETTINGS]\n"
                   "smtpPassword=pa,ss;w0rd\n"
                   "devicePassword = " +
                   odd.toUtf8() +
                   " \n"
                   "smtpUser=a b,c\n"
                   "smtpFrom=\"Collector, North\" <c@example.org>\n"
                   "retryMinutes=4,8\n");
    }
    o = CollectionOptions::load(ini);
    QCOMPARE(o.smtpPassword, QStringLiteral("pa,ss;w0rd"));
    QCOMPARE(o.devicePassword, odd);
    QCOMPARE(o.smtpUser, QStringLiteral("a b,c"));
    QCOMPARE(o.smtpFrom, QStringLiteral("\"Collector, North\" <c@example.org>"));
    QCOMPARE(o.retryMinutes, (QList<int>{4, 8}));
    // One QSettings wrote (quoted and escaped) comes back as it was given.
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("SETTINGS/smtpPassword"), odd);
    }
    QCOMPARE(CollectionOptions::load(ini).smtpPassword, odd);
}

void tst_CollectionLogic::clockDriftAndDailySync()
{
    const QDateTime host(QDate(2026, 5, 1), QTime(12, 0));
    ClockCheck c;
    c.setLimitSeconds(120);
    ClockCheck::Verdict v = c.evaluate(host.addSecs(-600), host);
    QCOMPARE(v.driftSeconds, qint64(-600));
    QVERIFY(v.beyondLimit);
    QVERIFY(!v.syncNow); // off unless the operator asked
    QVERIFY(!c.evaluate(host.addSecs(120), host).beyondLimit);
    QVERIFY(!c.evaluate(QDateTime(), host).beyondLimit);

    c.setSyncEnabled(true);
    QVERIFY(c.evaluate(host.addSecs(600), host).syncNow);
    QVERIFY(!c.evaluate(host.addSecs(60), host).syncNow);
    c.markSyncTried(host);
    QVERIFY(!c.evaluate(host.addSecs(900).addSecs(600), host.addSecs(900)).syncNow);
    const QDateTime nextDay = host.addDays(1);
    QVERIFY(c.evaluate(nextDay.addSecs(600), nextDay).syncNow);
    // A host clock set back must not block settings for good.
    QVERIFY(c.evaluate(host.addSecs(-3000), host.addSecs(-3600)).syncNow);
}

void tst_CollectionLogic::memoryForecastFromVisits()
{
    // Hourly visits, 0.5 % a day, the last one read at 40 %.
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
    QList<MemoryForecast::Sample> samples;
    for (int day = 0; day <= 10; ++day)
        MemoryForecast::addSample(samples, {start.addDays(day), 35.0 + 0.5 * day});
    const QDateTime now = start.addDays(10);
    MemoryForecast::Outlook o = MemoryForecast::forecast(samples, now, now, 3);
    QVERIFY(o.known);
    QVERIFY(qAbs(o.percentPerDay - 0.5) < 1e-6);
    QCOMPARE(o.full, now.addDays(120)); // 60 % left at 0.5 % a day
    // Read just now: the unread part is lost only after a whole memory's worth.
    QCOMPARE(o.overwrite, now.addDays(200));
    QVERIFY(!o.warning);

    // 5 % a day, last read 13 days before the series: the unread part is
    // lost 20 days after that reading, a day after the memory is full.
    samples.clear();
    for (int day = 0; day < 5; ++day)
        MemoryForecast::addSample(samples, {start.addDays(day), 70.0 + 5.0 * day});
    const QDateTime late = start.addDays(4);
    o = MemoryForecast::forecast(samples, start.addDays(-13), late, 3);
    QVERIFY(qAbs(o.full.secsTo(late.addDays(2))) <= 1);
    QVERIFY(qAbs(o.overwrite.secsTo(late.addDays(3))) <= 1);
    QVERIFY(o.warning);
    QVERIFY(!MemoryForecast::forecast(samples, start.addDays(-13), late, 2).warning);

    // A drop (memory cleared) starts a new series.
    MemoryForecast::addSample(samples, {start.addDays(5), 2.0});
    QCOMPARE(samples.size(), 1);
    for (int i = 0; i < 40; ++i)
        MemoryForecast::addSample(samples, {start.addDays(6 + i), 3.0 + i});
    QCOMPARE(samples.size(), MemoryForecast::maxSamples);
}

void tst_CollectionLogic::memoryForecastWithoutGrowth()
{
    const QDateTime t(QDate(2026, 1, 1), QTime(0, 0));
    QList<MemoryForecast::Sample> flat{{t, 50.0}, {t.addDays(1), 50.0}};
    QVERIFY(!MemoryForecast::forecast(flat, t, t.addDays(1), 3).known);
    QVERIFY(!MemoryForecast::forecast({{t, 50.0}}, t, t, 3).known);
    // Same instant twice: no slope, no division by zero.
    QVERIFY(!MemoryForecast::forecast({{t, 50.0}, {t, 51.0}}, t, t, 3).known);
    // A tiny growth gives a far date, not an overflow.
    const MemoryForecast::Outlook o = MemoryForecast::forecast({{t, 1.0}, {t.addDays(1), 1.00001}}, t, t, 3);
    QVERIFY(o.known && o.full.isValid() && o.full > t.addYears(50));
}

void tst_CollectionLogic::alertThresholdRateLimitAndRecovery()
{
    const QDateTime t(QDate(2026, 2, 1), QTime(8, 0));
    const auto at = [&](double hours) { return t.addSecs(qint64(hours * 3600)); };
    AlertPolicy policy(3);
    StationStats s;
    s.consecutiveFailures = 2;
    QVERIFY(policy.due(s, false, t).isEmpty());
    s.consecutiveFailures = 3;
    QCOMPARE(policy.due(s, false, t), QStringList{AlertPolicy::failing()});
    // Not delivered yet: pending, not due twice, and it silences nothing.
    s.consecutiveFailures = 4;
    QVERIFY(policy.due(s, false, at(0.5)).isEmpty());
    QVERIFY(s.lastAlert.isEmpty());
    QVERIFY(!s.failingAlerted);
    // Recovered before any failing mail got through: no mail at all.
    s.consecutiveFailures = 0;
    QVERIFY(policy.due(s, true, at(1)).isEmpty());
    QVERIFY(s.pendingAlerts.isEmpty());

    // Delivered: the quiet time runs from the delivery.
    s.consecutiveFailures = 3;
    QCOMPARE(policy.due(s, false, at(2)), QStringList{AlertPolicy::failing()});
    AlertPolicy::delivered(s, AlertPolicy::failing(), at(2));
    QVERIFY(s.failingAlerted && s.pendingAlerts.isEmpty());
    s.consecutiveFailures = 9;
    QVERIFY(policy.due(s, false, at(7)).isEmpty());
    QCOMPARE(policy.due(s, false, at(8)), QStringList{AlertPolicy::failing()});
    AlertPolicy::delivered(s, AlertPolicy::failing(), at(8));

    // Recovery once, then nothing until the next failing mail; failing again
    // before the recovery mail got through withdraws it.
    s.consecutiveFailures = 0;
    QCOMPARE(policy.due(s, true, at(8.1)), QStringList{AlertPolicy::recovered()});
    s.consecutiveFailures = 1;
    QVERIFY(policy.due(s, false, at(8.2)).isEmpty());
    QVERIFY(s.pendingAlerts.isEmpty() && s.failingAlerted);
    s.consecutiveFailures = 0;
    QCOMPARE(policy.due(s, true, at(8.3)), QStringList{AlertPolicy::recovered()});
    AlertPolicy::delivered(s, AlertPolicy::recovered(), at(8.3));
    QVERIFY(policy.due(s, true, at(9)).isEmpty());
    QVERIFY(!s.failingAlerted);

    // A failing mail that got through after the station recovered is owed
    // its recovery mail.
    s.consecutiveFailures = 3;
    QCOMPARE(policy.due(s, false, at(15)), QStringList{AlertPolicy::failing()});
    s.consecutiveFailures = 0;
    QVERIFY(policy.due(s, true, at(15.1)).isEmpty());
    AlertPolicy::delivered(s, AlertPolicy::failing(), at(15.2));
    QCOMPARE(s.pendingAlerts.keys(), QStringList{AlertPolicy::recovered()});

    // Clock and memory: each kind limited on its own.
    s = StationStats();
    s.driftFlag = true;
    s.memoryWarning = true;
    QCOMPARE(policy.due(s, true, at(16)), (QStringList{AlertPolicy::clock(), AlertPolicy::memory()}));
    AlertPolicy::delivered(s, AlertPolicy::clock(), at(16));
    s.memoryWarning = false; // no longer true: withdrawn
    QVERIFY(policy.due(s, true, at(17)).isEmpty());
    QCOMPARE(s.pendingAlerts.size(), 0);
    QCOMPARE(policy.due(s, true, at(22)), QStringList{AlertPolicy::clock()});
}

void tst_CollectionLogic::metricsTextReadByParser()
{
    StationStats a;
    a.successes = 5;
    a.failedNoConnection = 2;
    a.retries = 2;
    a.lastSuccess = QDateTime::fromSecsSinceEpoch(1780000000);
    a.driftKnown = true;
    a.lastDriftSeconds = -42;
    a.completenessKnown = true;
    a.completeness30d = 0.975;
    a.memoryFull = QDateTime::fromSecsSinceEpoch(1790000000);
    a.memoryOverwrite = QDateTime::fromSecsSinceEpoch(1791000000);
    StationStats never; // nothing known: its gauges are left out
    const QString odd = QStringLiteral("Q\"\\\nÇ1");
    // A code holding placeholders or a carriage return stays in its own label.
    const QString placeholders = QStringLiteral("P%1\r%3");
    const QString text =
        MetricsFile::render({{QStringLiteral("D02A003"), a}, {odd, never}, {placeholders, a}},
                            QDateTime::fromSecsSinceEpoch(1780000100), 0.25);
    const ParsedMetrics m = parseMetrics(text.toUtf8());
    QVERIFY2(m.ok, qPrintable(m.error + text));
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_heartbeat_timestamp_seconds{}")), 1780000100.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_visits_total{result=success,station=D02A003}")), 5.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_visits_total{result=no_connection,station=D02A003}")),
             2.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_retries_total{station=D02A003}")), 2.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_last_success_timestamp_seconds{station=D02A003}")),
             1780000000.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_clock_drift_seconds{station=D02A003}")), -42.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_data_completeness_ratio{station=D02A003}")), 0.975);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_memory_full_timestamp_seconds{station=D02A003}")),
             1790000000.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_visits_total{result=success,station=%1}").arg(odd)), 0.0);
    QVERIFY(m.samples.contains(QStringLiteral("tqm510_visits_total{result=success,station=%1}").arg(odd)));
    QVERIFY(!m.samples.contains(QStringLiteral("tqm510_clock_drift_seconds{station=%1}").arg(odd)));
    const QString kept = QStringLiteral("P%1\uFFFD%3");
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_visits_total{result=success,station=") + kept + "}"),
             5.0);
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_clock_drift_seconds{station=") + kept + "}"), -42.0);
    QVERIFY(!text.contains(QLatin1Char('\r')));
    QCOMPARE(m.samples.value(QStringLiteral("tqm510_main_loop_lag_seconds{}")), 0.25);
    // Not measured: not written.
    QVERIFY(!MetricsFile::render({}, QDateTime::currentDateTime()).contains(QLatin1String("main_loop")));
}

void tst_CollectionLogic::mainLoopProbeSeesAStall()
{
    MainLoopProbe probe;
    probe.setIntervalMs(5);
    QTest::qWait(30);
    // The loop held up for 150 ms: the next tick is that late.
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < 150) {
    }
    QTRY_VERIFY(probe.maxLagSeconds() >= 0.14);
    QCOMPARE(probe.peakLagSeconds(), probe.maxLagSeconds());
}

void tst_CollectionLogic::allocatorTunablesKeepTheOperators()
{
    const QByteArray mine = MemoryTrim::tunables({});
    QVERIFY(mine.startsWith("glibc.malloc.tcache_"));
    // Other settings stay, before ours.
    QCOMPARE(MemoryTrim::tunables("glibc.malloc.arena_max=4"), "glibc.malloc.arena_max=4:" + mine);
    // The operator's own thread caches win: nothing to change.
    QVERIFY(MemoryTrim::tunables("glibc.malloc.tcache_count=0").isEmpty());
    QVERIFY(MemoryTrim::tunables("glibc.malloc.arena_max=2:glibc.malloc.tcache_max=64").isEmpty());
}

void tst_CollectionLogic::saveTurnsAtMostTheLimit_aStopGivesUpTheWait()
{
    QVERIFY(SaveTurns().limit() >= 2); // twice the cores
    SaveTurns turns(2);
    std::atomic<int> inside{0}, most{0}, done{0};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back(QThread::create([&] {
            for (int k = 0; k < 20; ++k) {
                if (!turns.take())
                    return;
                const int now = ++inside;
                int seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                QThread::usleep(200);
                --inside;
                turns.give();
            }
            ++done;
        }));
        threads.back()->start();
    }
    for (auto &t : threads)
        QVERIFY(t->wait(30000));
    QCOMPARE(done.load(), 8);
    QCOMPARE(most.load(), 2);
    QCOMPARE(turns.peak(), 2);
    QCOMPARE(turns.taken(), 0);

    // All turns out: a stop ends the wait without one; a higher limit lets
    // the waiting one in.
    QVERIFY(turns.take() && turns.take());
    std::atomic<bool> stop{false};
    bool got = true;
    std::unique_ptr<QThread> stopped(QThread::create([&] { got = turns.take([&] { return stop.load(); }); }));
    stopped->start();
    QVERIFY(!stopped->wait(100));
    stop = true;
    QVERIFY(stopped->wait(5000));
    QVERIFY(!got);
    QCOMPARE(turns.taken(), 2);
    std::unique_ptr<QThread> waiting(QThread::create([&] { got = turns.take(); }));
    waiting->start();
    QVERIFY(!waiting->wait(100));
    turns.setLimit(3);
    QVERIFY(waiting->wait(5000));
    QVERIFY(got);
    QCOMPARE(turns.taken(), 3);
}

void tst_CollectionLogic::mailSubjectStaysOneLine()
{
    // A station code from the store with a line break and a header of its own.
    DBStation station;
    station.title = QStringLiteral("Kırmır");
    station.code = QStringLiteral("K1\r\nBcc: x@example.org");
    StationStats s;
    s.consecutiveFailures = 3;
    const QPair<QString, QString> mail =
        StationMonitor::alertMail(AlertPolicy::failing(), station, s, CollectionOptions());
    const QByteArray message = SmtpMailer::message(
        QStringLiteral("c@example.org"), {QStringLiteral("a@example.org")}, mail.first, mail.second);
    QByteArray subject;
    for (const QByteArray &line : message.split('\n'))
        if (line.startsWith("Subject: =?UTF-8?B?"))
            subject = QByteArray::fromBase64(line.mid(19, line.size() - 19 - 3));
    QCOMPARE(QString::fromUtf8(subject),
             QStringLiteral("Station Kırmır (K1\\r\\nBcc: x@example.org): 3 failed visits in a row"));
    QVERIFY(!message.contains("\nBcc:"));
}

void tst_CollectionLogic::metricsFileWritesAtMostEveryInterval()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tqm510.prom"));
    MetricsFile file(path);
    file.setMinIntervalMs(300);
    StationStats s;
    s.successes = 1;
    file.setStations({{QStringLiteral("A"), s}});
    file.requestWrite();
    // Written on a thread of its own.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 5000);
    QFile::remove(path);

    // Within the interval: written later, once.
    s.successes = 2;
    file.setStations({{QStringLiteral("A"), s}});
    file.requestWrite();
    file.requestWrite();
    QVERIFY(!QFile::exists(path));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 5000);
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("tqm510_visits_total{station=\"A\",result=\"success\"} 2"));

    // An unwritable place is reported, not fatal.
    MetricsFile bad(dir.filePath(QStringLiteral("missing/dir/x.prom")));
    QSignalSpy failed(&bad, &MetricsFile::writeFailed);
    QVERIFY(!bad.writeNow());
    QCOMPARE(failed.count(), 1);
}

QTEST_GUILESS_MAIN(tst_CollectionLogic)
#include "tst_collectionlogic.moc"
