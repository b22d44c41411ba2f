#include "../common/smtpsink.h"
#include "../common/stationfixtures.h"
#include "collection/stationmonitor.h"
#include "store/alarmmails.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Statistics of the visits, their table and the alert mails.
class tst_StationMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statisticsFollowTheVisitsAndSurviveARestart();
    void stationsTableStaysAsItWas();
    void memoryForecastOverSimulatedVisits();
    void alertMailsWithRateLimitAndRecovery();
    void unreachableMailServerIsReportedNotFatal();
    void twoCollectorsShareCountsAndQuietTime_lockedStoreKeepsTheVisit();
    void mailCountsOnlyOnceDelivered_pendingSurvivesAStop();
    void loginNeverSentInClear();
    void valueAlarmMailsOnceEachWayFromTwoCollectors();

private:
    VisitReport report(VisitReport::Result result, int minutesFromStart);

    std::unique_ptr<QTemporaryDir> dir;
    int id = 0;
    QDateTime start;
};

void tst_StationMonitor::init()
{
    registerDBStation();
    dir = std::make_unique<QTemporaryDir>();
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir->filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    DBStation s = fullStation(QStringLiteral("M"));
    s.title = QStringLiteral("Kırmır Çayı");
    id = DatabaseConnection::insertStation(s);
    QVERIFY(id > 0);
    start = QDateTime::currentDateTime().addDays(-10);
}

void tst_StationMonitor::cleanup()
{
    DatabaseConnection::close();
    dir.reset();
}

VisitReport tst_StationMonitor::report(VisitReport::Result result, int minutesFromStart)
{
    VisitReport r;
    r.id = id;
    r.result = result;
    r.reason = result == VisitReport::Success ? QString() : QStringLiteral("Connection refused");
    r.ended = start.addSecs(60 * minutesFromStart);
    return r;
}

void tst_StationMonitor::statisticsFollowTheVisitsAndSurviveARestart()
{
    StationTableModel model;
    {
        StationMonitor monitor(&model, CollectionOptions());
        QSignalSpy updated(&monitor, &StationMonitor::statsUpdated);
        monitor.onVisitReport(report(VisitReport::NoConnection, 0));
        VisitReport retry = report(VisitReport::WrongStation, 2);
        retry.wasRetry = true;
        monitor.onVisitReport(retry);
        monitor.onVisitReport(report(VisitReport::DeviceError, 7));
        monitor.onVisitReport(report(VisitReport::SaveError, 22));
        VisitReport ok = report(VisitReport::Success, 82);
        ok.records = 120;
        ok.bytes = 2048;
        ok.durationMs = 3500;
        ok.driftKnown = true;
        ok.driftSeconds = 610;
        ok.driftBeyondLimit = true;
        monitor.onVisitReport(ok);
        monitor.onVisitReport(report(VisitReport::Interrupted, 90)); // tells nothing
        // But a clock setting sent before a stop counts, as one of a visit.
        VisitReport stopped = report(VisitReport::Interrupted, 91);
        stopped.clockAttempt = stopped.ended.addSecs(-10);
        monitor.onVisitReport(stopped);
        QCOMPARE(monitor.stats(id).lastClockAttempt, stopped.clockAttempt);
        // The completeness of the station's files, asked after a success.
        monitor.setCompletenessSource([](const DBStation &st, const QDateTime &, QString *) {
            return st.code == QStringLiteral("CODEM") ? 0.93 : -1.0;
        });
        VisitReport later = report(VisitReport::Success, 85);
        later.clockAttempt = start; // older than the one stored: kept
        monitor.onVisitReport(later);
        VisitReport other = ok;
        other.id = id + 100; // deleted meanwhile
        monitor.onVisitReport(other);
        QCOMPARE(updated.count(), 8);

        const StationStats s = monitor.stats(id);
        QCOMPARE(s.visits, qint64(6));
        QCOMPARE(s.successes, qint64(2));
        QCOMPARE(s.failedNoConnection, qint64(1));
        QCOMPARE(s.failedWrongStation, qint64(1));
        QCOMPARE(s.failedDevice, qint64(1));
        QCOMPARE(s.failedSave, qint64(1));
        QCOMPARE(s.retries, qint64(1));
        QCOMPARE(s.consecutiveFailures, 0);
        QCOMPARE(s.lastSuccess, report(VisitReport::Success, 85).ended);
        QVERIFY(s.driftFlag);
        const QString tip =
            model.data(model.index(0, StationTableModel::ColumnStatus), Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QStringLiteral("Visits: 6, succeeded 2, failed 4, retries 1")),
                 qPrintable(tip));
        QVERIFY(tip.contains(QStringLiteral("Clock drift: 610 s")));
    }
    // Another run reads them back.
    const StationStats back = StationStatsStore::load().value(id);
    QCOMPARE(back.visits, qint64(6));
    QCOMPARE(back.records, qint64(120));
    QCOMPARE(back.bytes, qint64(2048));
    QCOMPARE(back.lastDurationMs, qint64(0));
    QCOMPARE(back.lastDriftSeconds, qint64(610));
    QCOMPARE(back.lastSuccess.toSecsSinceEpoch(), start.addSecs(85 * 60).toSecsSinceEpoch());
    QVERIFY(back.completenessKnown);
    QCOMPARE(back.completeness30d, 0.93);
    QCOMPARE(back.lastClockAttempt.toSecsSinceEpoch(), start.addSecs(91 * 60 - 10).toSecsSinceEpoch());

    // A data file that cannot be read: no figure, and said why.
    StationMonitor monitor(&model, CollectionOptions());
    monitor.setCompletenessSource([](const DBStation &, const QDateTime &, QString *error) {
        *error = QStringLiteral("cannot read M_01012026.xml: Permission denied");
        return 0.5;
    });
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("completeness of station .* unknown")));
    monitor.onVisitReport(report(VisitReport::Success, 100));
    QVERIFY(!monitor.stats(id).completenessKnown);
    QVERIFY(monitor.stats(id).summary().contains(QStringLiteral("Completeness unknown: cannot read")));
    QCOMPARE(StationStatsStore::load().value(id).completenessError,
             QStringLiteral("cannot read M_01012026.xml: Permission denied"));
}

void tst_StationMonitor::stationsTableStaysAsItWas()
{
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("SELECT * FROM stations")));
    QCOMPARE(q.record().count(), 23);
    // A database of an older program gains the statistics table when opened.
    QVERIFY(q.exec(QStringLiteral("DROP TABLE station_stats")));
    DatabaseConnection::close();
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir->filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    QSqlQuery again;
    QVERIFY(again.exec(QStringLiteral("SELECT completeness_30d FROM station_stats")));
}

void tst_StationMonitor::memoryForecastOverSimulatedVisits()
{
    StationTableModel model;
    CollectionOptions options;
    StationMonitor monitor(&model, options);
    QSignalSpy warnings(&monitor, &StationMonitor::warning);
    // A day of successful hourly visits at 2 % a day from 80 %.
    for (int hour = 0; hour <= 24; ++hour) {
        VisitReport r = report(VisitReport::Success, hour * 60);
        r.memoryFill = 80.0 + 2.0 * hour / 24.0;
        monitor.onVisitReport(r);
    }
    StationStats s = monitor.stats(id);
    QVERIFY(qAbs(s.memoryFull.secsTo(start.addDays(10))) < 60);
    QVERIFY(!s.memoryWarning);
    QCOMPARE(warnings.count(), 0);
    // Then the station stops answering: the last reading ages until the
    // unread part is within three days of being overwritten.
    for (int day = 2; day <= 60 && warnings.isEmpty(); ++day) {
        VisitReport r = report(VisitReport::NoConnection, day * 24 * 60);
        monitor.onVisitReport(r);
    }
    QCOMPARE(warnings.count(), 1);
    s = monitor.stats(id);
    QVERIFY(s.memoryWarning);
    // 100 % takes 50 days at 2 % a day: lost 50 days after the last reading.
    QVERIFY(qAbs(s.memoryOverwrite.secsTo(start.addDays(51))) < 60);
    QCOMPARE(s.lastSuccess.daysTo(start.addDays(48)), 47);
}

void tst_StationMonitor::alertMailsWithRateLimitAndRecovery()
{
    SmtpSink sink;
    CollectionOptions options;
    options.smtpServer = QStringLiteral("127.0.0.1");
    options.smtpPort = sink.port();
    options.smtpFrom = QStringLiteral("collector@example.org");
    options.alertAfterFailures = 2;
    StationTableModel model;
    StationMonitor monitor(&model, options);
    QSignalSpy finished(&monitor, &StationMonitor::mailFinished);

    monitor.onVisitReport(report(VisitReport::NoConnection, 0));
    monitor.onVisitReport(report(VisitReport::NoConnection, 2));  // second in a row: mail
    monitor.onVisitReport(report(VisitReport::NoConnection, 60)); // within 6 h: none
    monitor.onVisitReport(report(VisitReport::Success, 120));     // recovered: mail
    monitor.onVisitReport(report(VisitReport::Success, 180));     // already told
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
    QCOMPARE(finished.at(0).at(1).toString(), QStringLiteral("failing"));
    QVERIFY(finished.at(0).at(2).toBool());
    QCOMPARE(finished.at(1).at(1).toString(), QStringLiteral("recovered"));
    QTRY_COMPARE(sink.mails.size(), 2);
    const SmtpSink::Mail &failing = sink.mails.at(0);
    QCOMPARE(failing.from, QByteArray("<collector@example.org>"));
    QCOMPARE(failing.to, (QList<QByteArray>{"<a@example.org>", "<b@example.org>"}));
    QCOMPARE(failing.subject(), QStringLiteral("Station Kırmır Çayı (CODEM): 2 failed visits in a row"));
    QVERIFY(failing.data.contains("The last visit failed: Connection refused"));
    QCOMPARE(sink.mails.at(1).subject(), QStringLiteral("Station Kırmır Çayı (CODEM) recovered"));

    // Six hours later the same kind may go out again; the clock has its own.
    VisitReport drift = report(VisitReport::Success, 7 * 60);
    drift.driftKnown = true;
    drift.driftSeconds = -900;
    drift.driftBeyondLimit = true;
    monitor.onVisitReport(drift);
    monitor.onVisitReport(report(VisitReport::NoConnection, 7 * 60 + 5));
    monitor.onVisitReport(report(VisitReport::NoConnection, 7 * 60 + 10));
    QTRY_COMPARE_WITH_TIMEOUT(sink.mails.size(), 4, 20000);
    QCOMPARE(sink.mails.at(2).subject(),
             QStringLiteral("Station Kırmır Çayı (CODEM): device clock off by -900 s"));
    QVERIFY(sink.mails.at(3).subject().endsWith(QStringLiteral("2 failed visits in a row")));
    // The sink answers on this thread: the mails end before the monitor waits.
    QTRY_COMPARE(finished.count(), 4);
    // The rate limit is kept with the statistics.
    QVERIFY(StationStatsStore::load().value(id).lastAlert.contains(QStringLiteral("clock")));
}

void tst_StationMonitor::unreachableMailServerIsReportedNotFatal()
{
    CollectionOptions options;
    options.smtpServer = QStringLiteral("127.0.0.1");
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        options.smtpPort = closed.serverPort();
    }
    options.smtpUser = QStringLiteral("ops");
    options.smtpPassword = QStringLiteral("s3cret-never-shown");
    options.smtpAllowPlainLogin = true;
    options.alertAfterFailures = 1;
    StationTableModel model;
    StationMonitor monitor(&model, options);
    QSignalSpy finished(&monitor, &StationMonitor::mailFinished);
    monitor.onVisitReport(report(VisitReport::NoConnection, 0));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QVERIFY(!finished.at(0).at(2).toBool());
    const QString error = finished.at(0).at(3).toString();
    QVERIFY(!error.isEmpty());
    QVERIFY(!error.contains(options.smtpPassword));
}

void tst_StationMonitor::twoCollectorsShareCountsAndQuietTime_lockedStoreKeepsTheVisit()
{
    SmtpSink sink;
    CollectionOptions options;
    options.smtpServer = QStringLiteral("127.0.0.1");
    options.smtpPort = sink.port();
    options.alertAfterFailures = 2;
    StationTableModel model;
    // Two collectors on one store, each started before the other's visits.
    StationMonitor a(&model, options);
    StationMonitor b(&model, options);
    QSignalSpy finishedA(&a, &StationMonitor::mailFinished);
    QSignalSpy finishedB(&b, &StationMonitor::mailFinished);
    a.onVisitReport(report(VisitReport::NoConnection, 0));
    b.onVisitReport(report(VisitReport::NoConnection, 2));  // second in a row, whoever saw the first: mail
    a.onVisitReport(report(VisitReport::NoConnection, 60)); // within 6 h of b's mail: none
    b.onVisitReport(report(VisitReport::Success, 120));     // recovered: mail
    QTRY_COMPARE_WITH_TIMEOUT(finishedA.count() + finishedB.count(), 2, 20000);
    QCOMPARE(finishedA.count(), 0);
    QCOMPARE(finishedB.at(0).at(1).toString(), QStringLiteral("failing"));
    QCOMPARE(finishedB.at(1).at(1).toString(), QStringLiteral("recovered"));

    // Another program holds the write lock: the visit is kept, then counted.
    a.setStoreRetryInterval(20);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        other.setDatabaseName(dir->filePath(QStringLiteral("data.db")));
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        a.onVisitReport(report(VisitReport::Success, 180));
        QCOMPARE(a.keptReportCount(), 1);
        QVERIFY(lock.exec(QStringLiteral("COMMIT")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    QTRY_COMPARE_WITH_TIMEOUT(a.keptReportCount(), 0, 10000);

    const StationStats stored = StationStatsStore::load().value(id);
    QCOMPARE(stored.visits, qint64(5));
    QCOMPARE(stored.successes, qint64(2));
    QCOMPARE(stored.failedNoConnection, qint64(3));
    QCOMPARE(stored.consecutiveFailures, 0);
    QCOMPARE(a.stats(id).visits, qint64(5));
    QCOMPARE(sink.mails.size(), 2);
}

void tst_StationMonitor::mailCountsOnlyOnceDelivered_pendingSurvivesAStop()
{
    SmtpSink sink;
    sink.mode = SmtpSink::Refuse;
    CollectionOptions options;
    options.smtpServer = QStringLiteral("127.0.0.1");
    options.smtpPort = sink.port();
    options.alertAfterFailures = 2;
    StationTableModel model;
    {
        StationMonitor monitor(&model, options);
        monitor.setMailRetryInterval(50);
        QSignalSpy finished(&monitor, &StationMonitor::mailFinished);
        monitor.onVisitReport(report(VisitReport::NoConnection, 0));
        monitor.onVisitReport(report(VisitReport::NoConnection, 2));
        // Refused, then tried again with a growing wait: never counted as sent.
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() >= 3, 20000);
        for (const QList<QVariant> &f : qAsConst(finished)) {
            QCOMPARE(f.at(1).toString(), QStringLiteral("failing"));
            QVERIFY(!f.at(2).toBool());
        }
        StationStats stored = StationStatsStore::load().value(id);
        QVERIFY(stored.lastAlert.isEmpty());
        QVERIFY(!stored.failingAlerted);
        QVERIFY(stored.pendingAlerts.contains(QStringLiteral("failing")));
        // Recovered before anyone was told: no recovery mail, nothing pending.
        monitor.onVisitReport(report(VisitReport::Success, 60));
        stored = StationStatsStore::load().value(id);
        QVERIFY(stored.pendingAlerts.isEmpty());
        finished.clear();
        QTest::qWait(300);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(sink.mails.size(), 0);

        // Failing again with a server that never answers: the monitor ends
        // at once and the mail stays pending.
        sink.mode = SmtpSink::Hang;
        monitor.onVisitReport(report(VisitReport::NoConnection, 120));
        monitor.onVisitReport(report(VisitReport::NoConnection, 122));
        const int before = sink.connections;
        QTRY_VERIFY(sink.connections > before);
        QElapsedTimer stop;
        stop.start();
        QVERIFY(!monitor.waitForMail(100));
        monitor.abortMail();
        QVERIFY2(stop.elapsed() < 2500, qPrintable(QString::number(stop.elapsed())));
    }
    StationStats stored = StationStatsStore::load().value(id);
    QVERIFY(stored.pendingAlerts.contains(QStringLiteral("failing")));
    QVERIFY(stored.lastAlert.isEmpty());

    // The next start delivers it, and only then is it recorded.
    sink.mode = SmtpSink::Accept;
    StationMonitor monitor(&model, options);
    QSignalSpy finished(&monitor, &StationMonitor::mailFinished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QVERIFY(finished.at(0).at(2).toBool());
    QCOMPARE(sink.mails.size(), 1);
    QVERIFY(sink.mails.at(0).subject().endsWith(QStringLiteral("2 failed visits in a row")));
    stored = StationStatsStore::load().value(id);
    QVERIFY(stored.pendingAlerts.isEmpty());
    QVERIFY(stored.failingAlerted);
    QVERIFY(stored.lastAlert.contains(QStringLiteral("failing")));
    // Now the recovery is owed, and told.
    monitor.onVisitReport(report(VisitReport::Success, 180));
    QTRY_COMPARE_WITH_TIMEOUT(sink.mails.size(), 2, 20000);
    QVERIFY(sink.mails.at(1).subject().endsWith(QStringLiteral("recovered")));
}

void tst_StationMonitor::loginNeverSentInClear()
{
    SmtpSink sink;
    CollectionOptions options;
    options.smtpServer = QStringLiteral("127.0.0.1");
    options.smtpPort = sink.port();
    options.smtpUser = QStringLiteral("ops");
    options.smtpPassword = QStringLiteral("pa,ss;w0rd");
    options.alertAfterFailures = 1;
    QVERIFY(StationMonitor::mailLoginProblem(options).contains(QStringLiteral("smtpAllowPlainLogin=true")));
    StationTableModel model;
    {
        QTest::ignoreMessage(QtWarningMsg, qPrintable(StationMonitor::mailLoginProblem(options)));
        StationMonitor monitor(&model, options);
        monitor.onVisitReport(report(VisitReport::NoConnection, 0));
        QTest::qWait(200);
        // Not even a connection: the mail waits for settings that allow it.
        QCOMPARE(sink.connections, 0);
        QVERIFY(StationStatsStore::load().value(id).pendingAlerts.contains(QStringLiteral("failing")));
    }
    for (const QString &tls : {QStringLiteral("starttls"), QStringLiteral("tls")}) {
        options.smtpTls = tls;
        QVERIFY(StationMonitor::mailLoginProblem(options).isEmpty());
    }
    options.smtpTls = QStringLiteral("none");
    options.smtpAllowPlainLogin = true;
    QVERIFY(StationMonitor::mailLoginProblem(options).isEmpty());
    StationMonitor monitor(&model, options);
    QSignalSpy finished(&monitor, &StationMonitor::mailFinished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QVERIFY(sink.connections > 0);
}

QTEST_GUILESS_MAIN(tst_StationMonitor)
#include "tst_stationmonitor.moc"

void tst_StationMonitor::valueAlarmMailsOnceEachWayFromTwoCollectors()
{
    SmtpSink sink;
    sink.mode = SmtpSink::Refuse;
    CollectionOptions options;
    options.smtpServer = QStringLiteral("127.0.0.1");
    options.smtpPort = sink.port();
    StationTableModel model;
    StationMonitor a(&model, options);
    StationMonitor b(&model, options);
    for (StationMonitor *m : {&a, &b}) {
        m->setMailRetryInterval(20);
        m->setAlarmMailInterval(30);
    }
    const auto alarm = [](int slot, ValueAlarms::Kind kind, bool raised, double value, double limit) {
        ChannelChecks::Alarm made;
        made.slot = slot;
        made.code = QStringLiteral("H\r\nBcc: intruder@example.org");
        made.unit = QStringLiteral("m");
        made.event.kind = kind;
        made.event.raised = raised;
        made.event.minute = QDateTime(QDate(2026, 11, 2), QTime(10, 20), Qt::UTC).toSecsSinceEpoch() / 60;
        made.event.value = value;
        made.event.limit = limit;
        return made;
    };
    const auto owed = [] {
        QSqlQuery q;
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM alarm_mails")) && q.next() ? q.value(0).toInt()
                                                                                      : -1;
    };
    // Raised and cleared in one commit: the clearing waits for the raising.
    QVERIFY(AlarmMails().add(id,
                             {alarm(0, ValueAlarms::Kind::High, true, 2.61, 2.5),
                              alarm(0, ValueAlarms::Kind::High, false, 2.25, 2.3)},
                             QDateTime::currentDateTime()));
    // The server refuses: nothing is lost, both are tried again.
    QSignalSpy failedA(&a, &StationMonitor::mailFinished);
    QTRY_VERIFY_WITH_TIMEOUT(failedA.count() >= 2, 10000);
    QCOMPARE(owed(), 2);
    sink.mode = SmtpSink::Accept;
    QTRY_COMPARE_WITH_TIMEOUT(owed(), 0, 10000);
    QCOMPARE(sink.mails.size(), 2);
    QCOMPARE(sink.mails.at(0).subject(),
             QStringLiteral(
                 "Station Kırmır Çayı (CODEM): high alarm on channel 0 (H\\r\\nBcc: intruder@example.org)"));
    QVERIFY(sink.mails.at(0).data.contains("The value 2.61 m at 2026-11-02 10:20 (station time) is above the "
                                           "high limit 2.5 m."));
    QVERIFY(sink.mails.at(1).subject().endsWith(QStringLiteral(" cleared")));
    QVERIFY(sink.mails.at(1).data.contains("back past the clearing limit 2.3 m"));
    for (const SmtpSink::Mail &m : qAsConst(sink.mails))
        for (const QByteArray &line : m.data.split('\n'))
            QVERIFY2(!line.startsWith("Bcc:"), line.constData());

    // Raised again within the quiet time: no mail, and so none for its
    // clearing either; another channel's alarm is news of its own.
    QVERIFY(AlarmMails().add(id,
                             {alarm(0, ValueAlarms::Kind::High, true, 2.7, 2.5),
                              alarm(0, ValueAlarms::Kind::High, false, 2.2, 2.3),
                              alarm(1, ValueAlarms::Kind::Low, true, 0.1, 0.2)},
                             QDateTime::currentDateTime()));
    QTRY_COMPARE_WITH_TIMEOUT(owed(), 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(sink.mails.size(), 3, 5000);
    QVERIFY(sink.mails.at(2).subject().contains(QStringLiteral("low alarm on channel 1")));
    const StationStats stored = StationStatsStore::load().value(id);
    QVERIFY(stored.lastAlert.contains(QStringLiteral("alarm:0:high")));
    QVERIFY(stored.lastAlert.contains(QStringLiteral("alarm-cleared:0:high")));

    // A station whose mails are off owes none; a mail left claimed by a
    // collector that stopped goes out once its claim is stale.
    QVERIFY(AlarmMails().add(id, {alarm(2, ValueAlarms::Kind::Rise, true, 1.4, 0.2)},
                             QDateTime::currentDateTime()));
    QList<AlarmMails::Mail> taken;
    QVERIFY(AlarmMails().claim(QStringLiteral("stopped"), QDateTime::currentDateTime().addSecs(-3600), 600, 5,
                               &taken));
    QTRY_COMPARE_WITH_TIMEOUT(owed(), 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(sink.mails.size(), 4, 5000);
    QVERIFY(sink.mails.at(3).data.contains("risen by more than 0.2 m"));
    QTest::qWait(100);
    QCOMPARE(sink.mails.size(), 4);
}
