#include "stationmonitor.h"

#include "alertpolicy.h"
#include "mainloopprobe.h"
#include "memoryforecast.h"
#include "metricsfile.h"
#include "smtpmailer.h"
#include "stationrows.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "store/stationvisits.h"

#include "collectorlogging.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
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
        s.lastReason = r.reason;
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

void StationMonitor::queueVisitReport(VisitReport report)
{
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
    QElapsedTimer slice;
    slice.start();
    // In the order of the visits; one the store cannot take now holds back
    // the later ones, so that failures in a row are counted in order.
    while (!pendingReports.isEmpty()) {
        const VisitReport report = pendingReports.first();
        DBStation station;
        // A station deleted meanwhile leaves no statistics behind.
        if (!findStation(report.id, &station)) {
            pendingReports.removeFirst();
            continue;
        }
        if (!pendingReports.first().configChecked)
            checkConfiguration(station, pendingReports.first());
        if (!store(station, pendingReports.first())) {
            retryTimer->start(retryMs);
            retryMs = qMin(retryMs * 2, retryMaxMs);
            return;
        }
        recordVisit(pendingReports.first());
        pendingReports.removeFirst();
        // The rest in a later pass of the loop, after what waits meanwhile.
        if (sliceMs >= 0 && !pendingReports.isEmpty() && slice.elapsed() >= sliceMs) {
            scheduleStore();
            return;
        }
    }
    retryTimer->stop();
    retryMs = retryBaseMs;
}

bool StationMonitor::store(const DBStation &station, const VisitReport &report)
{
    const QDateTime now = report.ended.isValid() ? report.ended : QDateTime::currentDateTime();
    bool warnedBefore = false;
    QStringList alerts;
    // Everything that is not a counter is worked out from the row as stored,
    // within the transaction that added this visit's counts.
    const auto finish = [&](StationStats &s) {
        warnedBefore = s.memoryWarning;
        applyRest(s, report, opts);
        if (completeness && report.result == VisitReport::Success) {
            QString error;
            const double share = completeness(station, report.ended, &error);
            s.completenessKnown = share >= 0 && error.isEmpty();
            s.completeness30d = s.completenessKnown ? share : 0.0;
            if (!error.isEmpty() && error != s.completenessError)
                qCWarning(lcMonitor, "completeness of station %d unknown: %s", report.id,
                          qUtf8Printable(error));
            s.completenessError = error;
        }
        s.configChanged = !report.configChanges.isEmpty();
        s.configChanges = configChangeCounts.value(report.id);
        s.configChangeText = configChangeTexts.value(report.id);
        alerts = alertsDue(station, s, !report.failed(), now);
    };
    StationStats counts;
    addCounts(counts, report);
    StationStats s;
    bool busy = false;
    if (!StationStatsStore::addVisit(report.id, counts, report.failed(), finish, &s, &busy)) {
        if (busy) {
            qCDebug(lcMonitor, "statistics of station %d kept: the store is busy", report.id);
            return false;
        }
        // Refused for good: counted here at least, so that this window
        // still shows it.
        qCWarning(lcMonitor, "could not store the statistics of station %d", report.id);
        s = all.value(report.id);
        s.stationId = report.id;
        addCounts(s, report);
        finish(s);
    }
    all.insert(report.id, s);
    if (s.memoryWarning && !warnedBefore) {
        emit warning(report.id,
                     tr("Memory may overwrite unread data on %1")
                         .arg(QLocale::c().toString(s.memoryOverwrite, QStringLiteral("yyyy-MM-dd hh:mm"))));
    }
    // Only once the alerts are stored as pending: a visit tried again must
    // not mail twice, and a stop before delivery loses none.
    sendAlerts(report.id, alerts);
    model->setStatsSummary(report.id, s.summary());
    updateMetrics();
    emit statsUpdated(report.id, s);
    return true;
}

void StationMonitor::checkConfiguration(const DBStation &station, VisitReport &report)
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
        return;
    // Uploads from here are in the history with what the device confirmed,
    // so whatever still differs was changed by someone else.
    QList<ConfigChange> changes;
    if (!history.recordRead(station.id, ConfigHistory::visit(), actor, read, when, &changes, true)) {
        // A store that refuses the history must not hold back the statistics.
        qCWarning(lcMonitor, "could not store the configuration of station %d", station.id);
        return;
    }
    if (changes.isEmpty())
        return;
    QStringList fields;
    for (const ConfigChange &c : qAsConst(changes))
        fields << c.field;
    fields.removeDuplicates();
    report.configChanges = fields;
    configChangeCounts[station.id] += 1;
    QStringList lines;
    for (const ConfigChange &c : qAsConst(changes))
        lines << QStringLiteral("%1 %2: %3")
                     .arg(c.record, c.field, c.describe().section(QStringLiteral(": "), 1));
    configChangeTexts.insert(station.id, lines.join(QLatin1Char('\n')));
    // After the worker's own last status of the visit, which came first.
    DBStation changed = station;
    changed.status = tr("Configuration changed at the station: %1").arg(fields.join(QStringLiteral(", ")));
    changed.modified = false;
    emit stationStatus(changed);
    emit warning(station.id, changed.status);
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
                                      const QDateTime &now) const
{
    if (!station.email || recipients(station).isEmpty() || opts.smtpServer.isEmpty())
        return {};
    return AlertPolicy(opts.alertAfterFailures).due(s, succeeded, now);
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
    SmtpMailer::Server server;
    server.host = opts.smtpServer;
    server.port = opts.smtpPort;
    server.tls = SmtpMailer::tlsOf(opts.smtpTls);
    server.user = opts.smtpUser;
    server.password = opts.smtpPassword;
    server.from = opts.smtpFrom;
    server.allowPlainLogin = opts.smtpAllowPlainLogin;
    server.abort = mailAbort;
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
