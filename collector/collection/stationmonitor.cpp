#include "stationmonitor.h"
#include "owncopy.h"

#include "alertpolicy.h"
#include "linetext.h"
#include "mainloopprobe.h"
#include "memoryforecast.h"
#include "metricsfile.h"
#include "qartodflags.h"
#include "smtpmailer.h"
#include "stationrows.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "store/pathpart.h"
#include "store/stationtablemodel.h"
#include "store/stationvisits.h"
#include "storethread.h"

#include "collectorlogging.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTimer>

#include <cmath>

StationMonitor::StationMonitor(StationTableModel *model, const CollectionOptions &options, QObject *parent)
    : QObject(parent), model(model), opts(options)
{
    rowIndex = new StationRows(model, this);
    qRegisterMetaType<VisitReport>("VisitReport");
    qRegisterMetaType<StationStats>("StationStats");
    all = StationStatsStore::load();
    // One mail at a time: a slow server must not open a connection per alert.
    mailPool.setMaxThreadCount(1);
    const QString problem = mailLoginProblem(opts);
    if (!problem.isEmpty())
        qCWarning(lcMonitor, "%s", qUtf8Printable(problem));
    retryTimer = new QTimer(this);
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, [this] { storePending(); });
    for (auto it = all.constBegin(); it != all.constEnd(); ++it)
        model->setStatsSummary(it.key(), it.value().summary());
    // One query for every station: start-up with thousands of them.
    configChangeCounts = ConfigHistory().unexplainedCounts();
    // Mails a former run could not deliver, once the caller has connected
    // to the signals (those due later belong to whoever made them due).
    QHash<int, QStringList> leftOver;
    for (auto it = all.constBegin(); it != all.constEnd(); ++it)
        if (!it.value().pendingAlerts.isEmpty())
            leftOver.insert(it.key(), it.value().pendingAlerts.keys());
    if (!leftOver.isEmpty()) {
        QTimer::singleShot(0, this, [this, leftOver] {
            for (auto it = leftOver.constBegin(); it != leftOver.constEnd(); ++it)
                sendAlerts(it.key(), it.value());
        });
    }
    // Unique among the collectors sharing the store, and for each run: a
    // claim of a run that stopped is left to expire.
    alarmMailHolder = QStringLiteral("%1:%2:%3")
                          .arg(QSysInfo::machineHostName())
                          .arg(QCoreApplication::applicationPid())
                          .arg(QDateTime::currentMSecsSinceEpoch());
    alarmMailRetryMs = mailRetryBaseMs;
    alarmMailTimer = new QTimer(this);
    alarmMailTimer->setInterval(opts.minuteMs);
    connect(alarmMailTimer, &QTimer::timeout, this, &StationMonitor::sendAlarmMails);
    alarmMailTimer->start();
    // Those a former run (or a stopped collector) left.
    QTimer::singleShot(0, this, &StationMonitor::sendAlarmMails);
}

void StationMonitor::setAlarmMailInterval(int ms)
{
    alarmMailTimer->start(qMax(1, ms));
}

void StationMonitor::setOptions(const CollectionOptions &options)
{
    const QString before = mailLoginProblem(opts);
    opts = options;
    const QString problem = mailLoginProblem(opts);
    if (!problem.isEmpty() && problem != before)
        qCWarning(lcMonitor, "%s", qUtf8Printable(problem));
}

StationMonitor::~StationMonitor()
{
    abortMail();
    // A batch still out posts its results to this monitor.
    if (writer)
        writer->runAndWait([] {});
}

void StationMonitor::abortMail()
{
    // Mails not started yet are dropped, the one being sent ends within a
    // second; they all stay pending in the store.
    mailAbort->store(true);
    mailPool.clear();
    mailPool.waitForDone();
    mailAbort = std::make_shared<std::atomic_bool>(false);
}

QString StationMonitor::mailLoginProblem(const CollectionOptions &o)
{
    if (o.smtpServer.isEmpty() || o.smtpUser.isEmpty() || o.smtpAllowPlainLogin ||
        SmtpMailer::tlsOf(o.smtpTls) != SmtpMailer::Tls::None)
        return QString();
    return QStringLiteral(
        "Alert mails are not sent: smtpUser is set but smtpTls is none, and a login is never "
        "sent unencrypted (set smtpTls to starttls or tls, or smtpAllowPlainLogin=true).");
}

StationStats StationMonitor::stats(int id) const
{
    StationStats s = all.value(id);
    s.stationId = id;
    s.configChanges = configChangeCounts.value(id);
    s.configChangeText = configChangeTexts.value(id);
    return s;
}

void StationMonitor::setMetricsFile(const QString &path)
{
    delete metrics;
    metrics = nullptr;
    if (path.isEmpty())
        return;
    metrics = new MetricsFile(path, this);
    // The figures are put together when the file is written, at most every
    // few seconds, not after each visit.
    metrics->setSource([this] {
        QList<MetricsFile::Entry> entries;
        const QList<DBStation> stations = model->stations();
        entries.reserve(stations.size());
        for (const DBStation &st : stations)
            entries.append({st.code, stats(st.id)});
        return entries;
    });
    if (!lagProbe)
        lagProbe = new MainLoopProbe(this);
    metrics->setLagSource([probe = lagProbe] { return probe->maxLagSeconds(); });
    updateMetrics();
}

bool StationMonitor::waitForMail(int timeoutMs)
{
    return mailPool.waitForDone(timeoutMs);
}

void StationMonitor::apply(StationStats &s, const VisitReport &r, const CollectionOptions &options)
{
    // A visit cut short by a stop tells nothing about the station.
    if (r.result == VisitReport::Interrupted)
        return;
    addCounts(s, r);
    applyRest(s, r, options);
}

void StationMonitor::addCounts(StationStats &s, const VisitReport &r)
{
    ++s.visits;
    if (r.wasRetry)
        ++s.retries;
    switch (r.result) {
    case VisitReport::Success:
        ++s.successes;
        break;
    case VisitReport::NoConnection:
        ++s.failedNoConnection;
        break;
    case VisitReport::WrongStation:
        ++s.failedWrongStation;
        break;
    case VisitReport::SaveError:
        ++s.failedSave;
        break;
    default:
        ++s.failedDevice;
        break;
    }
    s.consecutiveFailures = r.failed() ? s.consecutiveFailures + 1 : 0;
    s.records += r.records;
    s.bytes += r.bytes;
}

void StationMonitor::applyRest(StationStats &s, const VisitReport &r, const CollectionOptions &options)
{
    // A report applied late (kept while the store was away) must not move
    // the last success back.
    if (r.result == VisitReport::Success && (!s.lastSuccess.isValid() || r.ended > s.lastSuccess))
        s.lastSuccess = r.ended;
    if (r.failed())
        s.lastReason = ownCopy(r.reason);
    else
        s.lastReason.clear();
    s.lastDurationMs = r.durationMs;
    if (r.driftKnown) {
        s.driftKnown = true;
        s.lastDriftSeconds = r.driftSeconds;
        s.driftFlag = r.driftBeyondLimit;
    }
    if (r.clockSet)
        s.lastClockSet = r.ended;
    if (r.clockAttempt.isValid() && (!s.lastClockAttempt.isValid() || r.clockAttempt > s.lastClockAttempt))
        s.lastClockAttempt = r.clockAttempt;
    if (std::isfinite(r.memoryFill))
        MemoryForecast::addSample(s.memorySamples, {r.ended, r.memoryFill});
    const MemoryForecast::Outlook o =
        MemoryForecast::forecast(s.memorySamples, s.lastSuccess, r.ended, options.memoryWarnDays);
    s.memoryFull = o.known ? o.full : QDateTime();
    s.memoryOverwrite = o.known ? o.overwrite : QDateTime();
    s.memoryWarning = o.known && o.warning;
}

void StationMonitor::recordVisit(const VisitReport &report)
{
    static const char *const results[] = {"success",     "noConnection", "wrongStation",
                                          "deviceError", "saveError",    "interrupted"};
    StationVisit visit;
    visit.stationId = report.id;
    visit.end = report.ended.isValid() ? report.ended : QDateTime::currentDateTime();
    visit.start = visit.end.addMSecs(-report.durationMs);
    visit.result = QLatin1String(results[report.result]);
    visit.reason = report.reason;
    visit.records = report.records;
    visit.bytes = report.bytes;
    if (!StationVisits::record(visit))
        qCDebug(lcMonitor, "station %d: visit not kept in the history", report.id);
}

void StationMonitor::onVisitReport(VisitReport report)
{
    // A visit cut short by a stop tells nothing about the station: nothing
    // to store, the statistics stay as they are.
    if (report.result == VisitReport::Interrupted) {
        // Except a clock setting sent before the stop: it still counts for today.
        if (report.clockAttempt.isValid()) {
            StationStats s;
            const auto attempt = [&](StationStats &row) { row.lastClockAttempt = report.clockAttempt; };
            if (StationStatsStore::changeAlerts(report.id, attempt, &s))
                all.insert(report.id, s);
        }
        emit statsUpdated(report.id, stats(report.id));
        return;
    }
    pendingReports.append(report);
    storePending();
}

void StationMonitor::recordDeviceType(const VisitReport &report)
{
    // A station entered without a device type takes the one its device reports.
    const QString type = report.deviceType.simplified();
    if (type.isEmpty() || !PathPart::isSafe(type))
        return;
    const int row = rowIndex->row(report.id);
    if (row < 0 || !model->stations().at(row).device_type.isEmpty())
        return;
    if (!writer) {
        if (!model->recordDeviceType(report.id, type))
            qCWarning(lcMonitor, "could not record the device type of station %d", report.id);
        return;
    }
    // Stored on the store's thread: a first round over thousands of new
    // stations must not wait on the main loop for each one's write.
    model->noteDeviceType(report.id, type);
    const int id = report.id;
    writer->post([id, type] {
        if (!StationTableModel::storeDeviceType(id, type))
            qCWarning(lcMonitor, "could not record the device type of station %d", id);
    });
}

void StationMonitor::queueVisitReport(VisitReport report)
{
    recordDeviceType(report);
    if (report.result == VisitReport::Interrupted) {
        onVisitReport(report);
        return;
    }
    pendingReports.append(report);
    scheduleStore();
}

void StationMonitor::scheduleStore()
{
    // A refused store is tried again by the retry timer.
    if (storeScheduled || retryTimer->isActive())
        return;
    storeScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            storeScheduled = false;
            storePending(storeSliceMs);
        },
        Qt::QueuedConnection);
}

void StationMonitor::setStoreRetryInterval(int ms)
{
    retryBaseMs = qMax(1, ms);
    retryMs = retryBaseMs;
}

void StationMonitor::storePending(int sliceMs)
{
    if (writer) {
        storeInBackground();
        return;
    }
    QElapsedTimer slice;
    slice.start();
    // In the order of the visits; one the store cannot take now holds back
    // the later ones, so that failures in a row are counted in order.
    while (!pendingReports.isEmpty()) {
        StoreItem item;
        item.report = pendingReports.first();
        // A station deleted meanwhile leaves no statistics behind.
        if (!findStation(item.report.id, &item.station)) {
            pendingReports.removeFirst();
            continue;
        }
        storeOne(item, opts, configChangeCounts, configChangeTexts, all.value(item.report.id), completeness);
        if (!takeFirst(item))
            return;
        // The rest in a later pass of the loop, after what waits meanwhile.
        if (sliceMs >= 0 && !pendingReports.isEmpty() && slice.elapsed() >= sliceMs) {
            scheduleStore();
            return;
        }
    }
    retryTimer->stop();
    retryMs = retryBaseMs;
}

struct StationMonitor::StoreBatch
{
    CollectionOptions options;
    QHash<int, qint64> configCounts;
    QHash<int, QString> configTexts;
    // Each station's statistics before the batch, then after each visit.
    QHash<int, StationStats> known;
    QVector<StoreItem> items;
    // Items the store thread went through (the last one busy, perhaps).
    int done = 0;
    // Items taken back on the main thread.
    int taken = 0;
};

void StationMonitor::setStoreThread(StoreThread *thread, std::function<bool(const DBStation &)> prepare,
                                    CompletenessSource share)
{
    writer = thread;
    prepareCompleteness = std::move(prepare);
    backgroundCompleteness = std::move(share);
}

void StationMonitor::storeInBackground()
{
    // One batch out at a time: the next one starts from its results.
    if (inFlight > 0 || pendingReports.isEmpty())
        return;
    auto batch = std::make_shared<StoreBatch>();
    batch->options = opts;
    batch->configCounts = configChangeCounts;
    batch->configTexts = configChangeTexts;
    for (int i = 0; i < pendingReports.size();) {
        StoreItem item;
        item.report = pendingReports.at(i);
        if (!findStation(item.report.id, &item.station)) {
            pendingReports.removeAt(i);
            continue;
        }
        if (item.report.result == VisitReport::Success)
            item.countsKnown = prepareCompleteness && prepareCompleteness(item.station);
        if (!batch->known.contains(item.report.id))
            batch->known.insert(item.report.id, all.value(item.report.id));
        batch->items.append(item);
        ++i;
    }
    inFlight = batch->items.size();
    if (inFlight == 0)
        return;
    const CompletenessSource share = backgroundCompleteness;
    writer->post([this, batch, share] {
        for (StoreItem &item : batch->items) {
            const int id = item.report.id;
            storeOne(item, batch->options, batch->configCounts, batch->configTexts, batch->known.value(id),
                     share);
            ++batch->done;
            if (!item.stored)
                break;
            batch->known.insert(id, item.stats);
        }
        // The monitor waits for this thread before it goes: still here.
        QMetaObject::invokeMethod(
            this, [this, batch] { onBatchStored(batch); }, Qt::QueuedConnection);
    });
}

QSet<int> StationMonitor::storingIds() const
{
    QSet<int> ids;
    if (retryTimer->isActive())
        return ids;
    for (const VisitReport &report : pendingReports)
        ids.insert(report.id);
    return ids;
}

void StationMonitor::onBatchStored(const std::shared_ptr<StoreBatch> &batch)
{
    // Told after each slice, whatever way it ends.
    const auto told = qScopeGuard([this] { emit reportsTaken(); });
    if (batch->taken == 0) {
        configChangeCounts = batch->configCounts;
        configChangeTexts = batch->configTexts;
    }
    // Hundreds of visits come back at once in a big round: taken in slices,
    // with the main loop running between them. The batch stays out until
    // the last, so that no other starts from the visits not taken yet.
    QElapsedTimer slice;
    slice.start();
    while (batch->taken < batch->done) {
        StoreItem &item = batch->items[batch->taken++];
        if (!takeFirst(item)) {
            inFlight = 0;
            return;
        }
        if (batch->taken < batch->done && slice.elapsed() >= takeSliceMs) {
            QMetaObject::invokeMethod(
                this, [this, batch] { onBatchStored(batch); }, Qt::QueuedConnection);
            return;
        }
    }
    inFlight = 0;
    retryTimer->stop();
    retryMs = retryBaseMs;
    // What came in meanwhile.
    if (!pendingReports.isEmpty())
        scheduleStore();
}

bool StationMonitor::settle(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (writer && inFlight > 0 && !deadline.hasExpired()) {
        // Each statement has a time-out: the batch ends.
        writer->runAndWait([] {});
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    return inFlight == 0;
}

void StationMonitor::storeOne(StoreItem &item, const CollectionOptions &options,
                              QHash<int, qint64> &configCounts, QHash<int, QString> &configTexts,
                              const StationStats &before, const CompletenessSource &completeness)
{
    const VisitReport &report = item.report;
    const DBStation &station = item.station;
    if (!report.configChecked)
        item.configStatus = checkConfiguration(station, item.report, configCounts, configTexts);
    const QDateTime now = report.ended.isValid() ? report.ended : QDateTime::currentDateTime();
    // Everything that is not a counter is worked out from the row as stored,
    // within the transaction that added this visit's counts.
    const auto finish = [&](StationStats &s) {
        item.warnedBefore = s.memoryWarning;
        applyRest(s, report, options);
        if (completeness && report.result == VisitReport::Success) {
            QString error;
            const double share = item.countsKnown ? completeness(station, report.ended, &error) : -1;
            s.completenessKnown = share >= 0 && error.isEmpty();
            s.completeness30d = s.completenessKnown ? share : 0.0;
            if (!error.isEmpty() && error != s.completenessError)
                qCWarning(lcMonitor, "completeness of station %d unknown: %s", report.id,
                          qUtf8Printable(error));
            s.completenessError = error;
        }
        s.configChanged = !report.configChanges.isEmpty();
        s.configChanges = configCounts.value(report.id);
        s.configChangeText = configTexts.value(report.id);
        item.alerts = alertsDue(station, s, !report.failed(), now, options);
    };
    StationStats counts;
    addCounts(counts, report);
    StationStats s;
    bool busy = false;
    if (!StationStatsStore::addVisit(report.id, counts, report.failed(), finish, &s, &busy)) {
        if (busy) {
            qCDebug(lcMonitor, "statistics of station %d kept: the store is busy", report.id);
            return;
        }
        // Refused for good: counted here at least, so that this window
        // still shows it.
        qCWarning(lcMonitor, "could not store the statistics of station %d", report.id);
        s = before;
        s.stationId = report.id;
        addCounts(s, report);
        finish(s);
    }
    item.stats = s;
    item.stored = true;
    recordVisit(report);
}

bool StationMonitor::takeFirst(StoreItem &item)
{
    pendingReports.first() = item.report;
    takeStored(item);
    if (!item.stored) {
        retryTimer->start(retryMs);
        retryMs = qMin(retryMs * 2, retryMaxMs);
        return false;
    }
    pendingReports.removeFirst();
    return true;
}

void StationMonitor::takeStored(StoreItem &item)
{
    if (!item.configStatus.isEmpty()) {
        // After the worker's own last status of the visit, which came first.
        DBStation changed = item.station;
        changed.status = item.configStatus;
        changed.modified = false;
        // The status is what reports it, once: a warning too would print
        // the same line twice.
        emit stationStatus(changed);
        item.configStatus.clear();
    }
    if (!item.stored)
        return;
    const int id = item.report.id;
    const StationStats &s = item.stats;
    all.insert(id, s);
    if (s.memoryWarning && !item.warnedBefore) {
        emit warning(id,
                     tr("Memory may overwrite unread data on %1")
                         .arg(QLocale::c().toString(s.memoryOverwrite, QStringLiteral("yyyy-MM-dd hh:mm"))));
    }
    // Only once the alerts are stored as pending: a visit tried again must
    // not mail twice, and a stop before delivery loses none.
    sendAlerts(id, item.alerts);
    if (item.report.valueAlarms > 0)
        sendAlarmMails();
    model->setStatsSummary(id, s.summary());
    updateMetrics();
    emit statsUpdated(id, s);
}

QString StationMonitor::checkConfiguration(const DBStation &station, VisitReport &report,
                                           QHash<int, qint64> &configCounts, QHash<int, QString> &configTexts)
{
    // Once, even when the statistics must wait for the store.
    report.configChecked = true;
    const ConfigSnapshot read = ConfigSnapshot::fromJson(report.configuration);
    ConfigHistory history;
    // The collector's id on a shared store, else this program on this host.
    const QString holder = DatabaseConnection::leaseHolderName();
    const QString actor =
        holder.isEmpty() ? QStringLiteral("tqm510@%1").arg(QSysInfo::machineHostName()) : holder;
    const QDateTime when = report.ended.isValid() ? report.ended : QDateTime::currentDateTime();
    if (!report.clockUpload.isEmpty()) {
        // The clock setting sends the setup back: confirmed when the device still shows it.
        UploadCheck check;
        check.setMeant(
            ConfigSnapshot::fromJson(report.clockUpload.value(QStringLiteral("meant")).toObject()));
        const QString answer = report.clockUpload.value(QStringLiteral("answer")).toString();
        check.sent(ConfigSnapshot::setupKey(),
                   answer == QLatin1String("acknowledged") ? UploadCheck::Outcome::Confirmed
                   : answer == QLatin1String("refused")    ? UploadCheck::Outcome::Refused
                                                           : UploadCheck::Outcome::NotAnswered);
        check.setReadBack(
            report.clockUpload.contains(QStringLiteral("readBack"))
                ? ConfigSnapshot::fromJson(report.clockUpload.value(QStringLiteral("readBack")).toObject())
                : read.only({ConfigSnapshot::setupKey()}));
        if (!history.recordUpload(station.id, ConfigHistory::clock(), actor, check, when))
            qCWarning(lcMonitor, "could not store the clock setting of station %d", station.id);
    }
    if (read.isEmpty())
        return QString();
    // Uploads from here are in the history with what the device confirmed,
    // so whatever still differs was changed by someone else.
    QList<ConfigChange> changes;
    if (!history.recordRead(station.id, ConfigHistory::visit(), actor, read, when, &changes, true)) {
        // A store that refuses the history must not hold back the statistics.
        qCWarning(lcMonitor, "could not store the configuration of station %d", station.id);
        return QString();
    }
    if (changes.isEmpty())
        return QString();
    QStringList fields;
    for (const ConfigChange &c : qAsConst(changes))
        fields << c.field;
    fields.removeDuplicates();
    report.configChanges = fields;
    configCounts[station.id] += 1;
    QStringList lines;
    for (const ConfigChange &c : qAsConst(changes))
        lines << QStringLiteral("%1 %2: %3")
                     .arg(c.record, c.field, c.describe().section(QStringLiteral(": "), 1));
    configTexts.insert(station.id, lines.join(QLatin1Char('\n')));
    return tr("Configuration changed at the station: %1").arg(fields.join(QStringLiteral(", ")));
}

void StationMonitor::updateMetrics()
{
    if (metrics)
        metrics->requestWrite();
}

QPair<QString, QString> StationMonitor::alertMail(const QString &kind, const DBStation &station,
                                                  const StationStats &s, const CollectionOptions &options)
{
    const QLocale c = QLocale::c();
    const QString when = QStringLiteral("yyyy-MM-dd hh:mm");
    const QString name = QStringLiteral("%1 (%2)").arg(station.title, station.code);
    const QString lastSuccess =
        s.lastSuccess.isValid() ? c.toString(s.lastSuccess, when) : QStringLiteral("never");
    QString subject;
    QString body;
    if (kind == AlertPolicy::failing()) {
        subject =
            QStringLiteral("Station %1: %2 failed visits in a row").arg(name).arg(s.consecutiveFailures);
        body = QStringLiteral("The last visit failed: %1\nLast successful visit: %2")
                   .arg(s.lastReason, lastSuccess);
    } else if (kind == AlertPolicy::recovered()) {
        subject = QStringLiteral("Station %1 recovered").arg(name);
        body = QStringLiteral("The station was visited successfully again at %1.").arg(lastSuccess);
    } else if (kind == AlertPolicy::clock()) {
        subject = QStringLiteral("Station %1: device clock off by %2 s").arg(name).arg(s.lastDriftSeconds);
        body = QStringLiteral("The device clock differs from the collector's by %1 s (limit %2 s).\n%3")
                   .arg(s.lastDriftSeconds)
                   .arg(options.clockDriftWarnSeconds)
                   .arg(options.clockSync ? QStringLiteral("The collector sets it at most once a day.")
                                          : QStringLiteral("Automatic clock setting is off."));
    } else if (kind == AlertPolicy::configChanged()) {
        subject = QStringLiteral("Station %1: configuration changed at the station").arg(name);
        body =
            QStringLiteral("A visit found a configuration that no upload from this collector explains.\n%1")
                .arg(s.configChangeText.isEmpty()
                         ? QStringLiteral("See tqm510 --config-history %1.").arg(station.code)
                         : s.configChangeText);
    } else {
        subject = QStringLiteral("Station %1: memory will overwrite unread data").arg(name);
        body = QStringLiteral("Memory full: %1\nUnread data overwritten from: %2\nLast successful visit: %3")
                   .arg(c.toString(s.memoryFull, when), c.toString(s.memoryOverwrite, when), lastSuccess);
    }
    return {subject, body};
}

namespace {

QStringList recipients(const DBStation &station)
{
    QStringList to;
    for (const QString &address : station.emaillist) {
        if (!address.trimmed().isEmpty())
            to << address.trimmed();
    }
    return to;
}

} // namespace

QStringList StationMonitor::alertsDue(const DBStation &station, StationStats &s, bool succeeded,
                                      const QDateTime &now, const CollectionOptions &options)
{
    if (!station.email || recipients(station).isEmpty() || options.smtpServer.isEmpty())
        return {};
    return AlertPolicy(options.alertAfterFailures).due(s, succeeded, now);
}

bool StationMonitor::findStation(int id, DBStation *station) const
{
    const int row = rowIndex->row(id);
    if (row < 0)
        return false;
    *station = model->stations().at(row);
    return true;
}

void StationMonitor::sendAlerts(int id, const QStringList &kinds)
{
    DBStation station;
    if (!findStation(id, &station))
        return;
    const QStringList to = recipients(station);
    // A login that would go out unencrypted: kept pending, said once at the start.
    if (kinds.isEmpty() || to.isEmpty() || opts.smtpServer.isEmpty() || !mailLoginProblem(opts).isEmpty())
        return;
    const SmtpMailer::Server server = mailServer();
    const StationStats s = stats(id);
    for (const QString &kind : kinds) {
        if (!s.pendingAlerts.contains(kind) || mailsOnTheirWay.contains({id, kind}))
            continue;
        mailsOnTheirWay.insert({id, kind});
        const QPair<QString, QString> mail = alertMail(kind, station, s, opts);
        QPointer<StationMonitor> self(this);
        mailPool.start([self, server, to, mail, id, kind] {
            QString error;
            const bool sent = SmtpMailer(server).send(to, mail.first, mail.second, &error);
            // Queued to the monitor's thread; dropped if the monitor is gone.
            QMetaObject::invokeMethod(
                self.data(),
                [self, id, kind, sent, error] {
                    if (self)
                        self->onMailSent(id, kind, sent, error);
                },
                Qt::QueuedConnection);
        });
    }
}

void StationMonitor::onMailSent(int id, const QString &kind, bool sent, const QString &error)
{
    mailsOnTheirWay.remove({id, kind});
    const QPair<int, QString> key{id, kind};
    if (sent) {
        mailRetryMs.remove(key);
        const QDateTime now = QDateTime::currentDateTime();
        const auto deliver = [&](StationStats &s) { AlertPolicy::delivered(s, kind, now); };
        StationStats s;
        if (StationStatsStore::changeAlerts(id, deliver, &s)) {
            all.insert(id, s);
        } else {
            // Counted here at least; the store still has it pending, so it
            // may go out once more after a restart.
            qCWarning(lcMonitor, "could not record the alert mail (%s) of station %d as delivered",
                      qUtf8Printable(kind), id);
            s = stats(id);
            deliver(s);
            all.insert(id, s);
        }
        // A failing mail delivered after the recovery owes the recovery mail.
        if (s.pendingAlerts.contains(AlertPolicy::recovered()))
            sendAlerts(id, {AlertPolicy::recovered()});
    } else {
        qCWarning(lcMonitor, "alert mail (%s) for station %d not sent: %s", qUtf8Printable(kind), id,
                  qUtf8Printable(error));
        // Tried again later, with a growing wait, while it is still due.
        const int wait = mailRetryMs.value(key, mailRetryBaseMs);
        mailRetryMs.insert(key, qMin(wait * 2, mailRetryMaxMs));
        QTimer::singleShot(wait, this, [this, id, kind] { sendAlerts(id, {kind}); });
    }
    emit mailFinished(id, kind, sent, error);
}

SmtpMailer::Server StationMonitor::mailServer() const
{
    SmtpMailer::Server server;
    server.host = opts.smtpServer;
    server.port = opts.smtpPort;
    server.tls = SmtpMailer::tlsOf(opts.smtpTls);
    server.user = opts.smtpUser;
    server.password = opts.smtpPassword;
    server.from = opts.smtpFrom;
    server.allowPlainLogin = opts.smtpAllowPlainLogin;
    server.abort = mailAbort;
    return server;
}

QPair<QString, QString> StationMonitor::alarmMail(const ChannelChecks::Alarm &alarm, const DBStation &station)
{
    const QLocale c = QLocale::c();
    const QString name = QStringLiteral("%1 (%2)").arg(station.title, station.code);
    // The device's texts, one line each.
    const QString code = LineText::oneLine(alarm.code);
    const QString unit = LineText::oneLine(alarm.unit);
    const QString channel = code.isEmpty() ? QStringLiteral("channel %1").arg(alarm.slot)
                                           : QStringLiteral("channel %1 (%2)").arg(alarm.slot).arg(code);
    const QString kind = ValueAlarms::kindName(alarm.event.kind);
    const auto amount = [&](double v) {
        return std::isfinite(v)
                   ? (c.toString(v, 'g', 10) + (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit))
                   : QStringLiteral("none");
    };
    const QString at =
        QartodFlags::dateTimeOf(alarm.event.minute).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    QString subject, body;
    if (alarm.event.raised) {
        subject = QStringLiteral("Station %1: %2 alarm on %3").arg(name, kind, channel);
        const QString passed =
            alarm.event.kind == ValueAlarms::Kind::Low    ? QStringLiteral("below the low limit")
            : alarm.event.kind == ValueAlarms::Kind::High ? QStringLiteral("above the high limit")
                                                          : QStringLiteral("risen by more than");
        body = QStringLiteral("The value %1 at %2 (station time) is %3 %4.")
                   .arg(amount(alarm.event.value), at, passed, amount(alarm.event.limit));
    } else {
        subject = QStringLiteral("Station %1: %2 alarm on %3 cleared").arg(name, kind, channel);
        body = std::isfinite(alarm.event.limit)
                   ? QStringLiteral("The value %1 at %2 (station time) is back past the clearing limit %3.")
                         .arg(amount(alarm.event.value), at, amount(alarm.event.limit))
                   : QStringLiteral("The alarm's setting was removed at %1 (station time).").arg(at);
    }
    return {subject, body};
}

void StationMonitor::sendAlarmMails()
{
    if (opts.smtpServer.isEmpty() || !mailLoginProblem(opts).isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    AlarmMails outbox;
    // A day late, an alarm's news is stale; mailing it now would mislead.
    const int dropped = outbox.dropOlderThan(now.addDays(-1));
    if (dropped > 0)
        qCWarning(lcMonitor, "%d value alarm mails older than a day were dropped unsent", dropped);
    QList<AlarmMails::Mail> mails;
    // Well past the longest a send may take (each step of it times out
    // after 30 s), so a claim goes stale only with its collector gone.
    const int stale = 600;
    if (!outbox.claim(alarmMailHolder, now, stale, 20, &mails)) {
        qCWarning(lcMonitor, "the store did not answer for the value alarm mails; tried again later");
        return;
    }
    bool more = false;
    for (const AlarmMails::Mail &m : qAsConst(mails)) {
        if (alarmMailsOut.contains(m.id))
            continue;
        DBStation station;
        // Read as stored: another collector may have told the raising.
        StationStats stored;
        if (!findStation(m.stationId, &station) || !station.email || recipients(station).isEmpty()) {
            outbox.remove(m.id);
            more = true;
            continue;
        }
        if (!StationStatsStore::changeAlerts(
                m.stationId, [](StationStats &) {}, &stored)) {
            outbox.release(m.id);
            continue;
        }
        if (!AlertPolicy::alarmMailDue(stored, m.alarm.slot, m.alarm.event.kind, m.alarm.event.raised, now)) {
            qCInfo(lcMonitor, "station %d: the %s mail is not sent (%s)", m.stationId,
                   qUtf8Printable(
                       AlertPolicy::alarmKind(m.alarm.slot, m.alarm.event.kind, m.alarm.event.raised)),
                   m.alarm.event.raised ? "quiet time" : "nobody was told of its raising");
            outbox.remove(m.id);
            more = true;
            continue;
        }
        alarmMailsOut.insert(m.id);
        const QPair<QString, QString> mail = alarmMail(m.alarm, station);
        const QStringList to = recipients(station);
        const SmtpMailer::Server server = mailServer();
        QPointer<StationMonitor> self(this);
        mailPool.start([self, server, to, mail, m] {
            QString error;
            const bool sent = SmtpMailer(server).send(to, mail.first, mail.second, &error);
            QMetaObject::invokeMethod(
                self.data(),
                [self, m, sent, error] {
                    if (self)
                        self->onAlarmMailSent(m, sent, error);
                },
                Qt::QueuedConnection);
        });
    }
    // The next of a channel's mails comes out once the one before it is gone.
    if (more)
        QTimer::singleShot(0, this, &StationMonitor::sendAlarmMails);
}

void StationMonitor::onAlarmMailSent(const AlarmMails::Mail &m, bool sent, const QString &error)
{
    alarmMailsOut.remove(m.id);
    const QString kind = AlertPolicy::alarmKind(m.alarm.slot, m.alarm.event.kind, m.alarm.event.raised);
    AlarmMails outbox;
    if (sent) {
        alarmMailRetryMs = mailRetryBaseMs;
        const QDateTime now = QDateTime::currentDateTime();
        StationStats s;
        if (!StationStatsStore::changeAlerts(
                m.stationId, [&](StationStats &stats) { stats.lastAlert.insert(kind, now); }, &s)) {
            qCWarning(lcMonitor, "could not record the alert mail (%s) of station %d as delivered",
                      qUtf8Printable(kind), m.stationId);
            s = stats(m.stationId);
            s.lastAlert.insert(kind, now);
        }
        all.insert(m.stationId, s);
        // Sent is sent: kept, it would go out twice.
        if (!outbox.remove(m.id))
            qCWarning(lcMonitor, "the store kept the sent alarm mail %lld; it may go out once more", m.id);
        QTimer::singleShot(0, this, &StationMonitor::sendAlarmMails);
    } else {
        qCWarning(lcMonitor, "alert mail (%s) for station %d not sent: %s", qUtf8Printable(kind), m.stationId,
                  qUtf8Printable(error));
        outbox.release(m.id);
        const int wait = alarmMailRetryMs;
        alarmMailRetryMs = qMin(wait * 2, mailRetryMaxMs);
        QTimer::singleShot(wait, this, &StationMonitor::sendAlarmMails);
    }
    emit mailFinished(m.stationId, kind, sent, error);
}
