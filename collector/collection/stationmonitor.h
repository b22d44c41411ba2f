#pragma once

#include "collection/collectionoptions.h"
#include "collection/smtpmailer.h"
#include "collection/visitreport.h"
#include "store/alarmmails.h"
#include "store/dbstation.h"
#include "store/stationstats.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

class MainLoopProbe;
class MetricsFile;
class StoreThread;
class StationRows;
class QTimer;
class StationTableModel;

// Keeps every station's visit statistics on the main thread: updates them
// from each visit's report, stores them, forecasts the memory, sends the
// alert mails and rewrites the metrics file.
class StationMonitor : public QObject
{
    Q_OBJECT
public:
    StationMonitor(StationTableModel *model, const CollectionOptions &options, QObject *parent = nullptr);
    // Gives up the mails still on their way (they stay pending in the store).
    ~StationMonitor() override;

    void setOptions(const CollectionOptions &options);
    const CollectionOptions &options() const { return opts; }
    StationStats stats(int id) const;
    // Writes the metrics to `path` from now on; empty stops it.
    void setMetricsFile(const QString &path);
    MetricsFile *metricsFile() const { return metrics; }
    // Measures the main loop's lag for the metrics file (set with it).
    MainLoopProbe *mainLoopProbe() const { return lagProbe; }
    // Share (0..1) of the values expected over a station's last 30 days that
    // its data files hold, negative when nothing was expected; asked after
    // each successful visit; *error says why it could not be worked out
    // (unknown then). Without one the completeness stays unknown.
    using CompletenessSource =
        std::function<double(const DBStation &station, const QDateTime &now, QString *error)>;
    void setCompletenessSource(CompletenessSource source) { completeness = std::move(source); }
    // Stores the queued visits on `thread` (a connection of its own) from
    // now on: the main thread hands them over and takes the results, it
    // never waits for the store. Not owned; it must outlive the monitor.
    // The completeness then comes in two halves: `prepare`, on this
    // thread (false: not known yet), and `share`, asked on the store thread.
    void setStoreThread(StoreThread *thread, std::function<bool(const DBStation &)> prepare,
                        CompletenessSource share);
    // Waits up to timeoutMs for the visits handed to the store thread and
    // takes their results; true when none is out.
    bool settle(int timeoutMs);
    // Waits up to timeoutMs for the mails on their way; true when none is left.
    bool waitForMail(int timeoutMs);
    // Ends the mails on their way at once; what was not delivered stays
    // pending in the store and goes out after the next start.
    void abortMail();
    // First wait before a mail the server did not take is tried again
    // (doubling up to an hour).
    void setMailRetryInterval(int ms) { alarmMailRetryMs = mailRetryBaseMs = qMax(1, ms); }
    // Why no login is sent with the mail settings given; empty when none.
    static QString mailLoginProblem(const CollectionOptions &options);
    // How often the store is asked for value alarm mails owed (a minute of
    // the options' clock),
    // besides after each visit that raised or cleared an alarm.
    void setAlarmMailInterval(int ms);
    // Subject and text of a value alarm's mail.
    static QPair<QString, QString> alarmMail(const ChannelChecks::Alarm &alarm, const DBStation &station);

    // Stations with a visit on its way to the store (not while the store
    // refuses them and they wait for the next try).
    QSet<int> storingIds() const;
    // Visits not stored yet (those out with the store thread included), kept in order.
    int keptReportCount() const { return pendingReports.size(); }
    // First wait before a kept visit is tried again (doubling up to 30 s).
    void setStoreRetryInterval(int ms);
    // Longest the main loop spends taking back stored visits in one go (10 ms).
    void setTakeSliceMs(int ms) { takeSliceMs = ms; }
    // Tries the kept visits now (before the process ends).
    void storeKept() { storePending(); }

    // The statistics after one more visit (pure: no database, no mail).
    static void apply(StationStats &stats, const VisitReport &report, const CollectionOptions &options);
    // Its two halves: the counters one visit adds (with failures in a row),
    // and what is worked out from the counted row.
    static void addCounts(StationStats &stats, const VisitReport &report);
    static void applyRest(StationStats &stats, const VisitReport &report, const CollectionOptions &options);
    // Subject and text of an alert mail of the given kind.
    static QPair<QString, QString> alertMail(const QString &kind, const DBStation &station,
                                             const StationStats &stats, const CollectionOptions &options);

signals:
    void statsUpdated(int id, StationStats stats);
    // A warning the operator should see besides the statuses.
    void warning(int id, QString text);
    // A status of the monitor's own for a station, after its visit's last.
    void stationStatus(DBStation station);
    void mailFinished(int id, QString kind, bool sent, QString error);
    // Visits came back from the store thread (stored, or kept for a retry).
    void reportsTaken();

public slots:
    void onVisitReport(VisitReport report);
    // Sends the value alarm mails the store holds that nobody sends yet.
    void sendAlarmMails();
    // The same, stored from the next pass of the loop on and only a few
    // milliseconds' worth a pass: each visit is a transaction with a sync of
    // its own, and hundreds of them in one pass held the main loop up for
    // seconds. The workers' reports come this way.
    void queueVisitReport(VisitReport report);

private:
    void recordDeviceType(const VisitReport &report);
    // One visit on its way into the store, and what came of it.
    struct StoreItem
    {
        DBStation station;
        VisitReport report;
        // False: the completeness is not known yet (background only).
        bool countsKnown = true;
        bool stored = false;
        StationStats stats;
        bool warnedBefore = false;
        QStringList alerts;
        // A configuration nobody here made: the station's status to tell.
        QString configStatus;
    };
    struct StoreBatch;
    // Stores one visit on the calling thread's connection: its
    // configuration, its statistics (counted on `before` when the store
    // refuses them for good) and its row in the history. Busy: not stored.
    static void storeOne(StoreItem &item, const CollectionOptions &options, QHash<int, qint64> &configCounts,
                         QHash<int, QString> &configTexts, const StationStats &before,
                         const CompletenessSource &completeness);
    // On the main thread: what a stored (or checked) visit tells.
    void takeStored(StoreItem &item);
    // The same for the first of the kept visits, which then leaves them;
    // false when the store was busy (tried again later).
    bool takeFirst(StoreItem &item);
    void storeInBackground();
    void onBatchStored(const std::shared_ptr<StoreBatch> &batch);
    void updateMetrics();
    // One row in the visit history; a store too busy for it loses that row only.
    static void recordVisit(const VisitReport &report);
    // Stores the kept visits, oldest first, until the store refuses one;
    // with sliceMs >= 0 for about that long, the rest in a later pass.
    void storePending(int sliceMs = -1);
    void scheduleStore();
    // The alert kinds newly due, recorded as pending in `stats`.
    static QStringList alertsDue(const DBStation &station, StationStats &stats, bool succeeded,
                                 const QDateTime &now, const CollectionOptions &options);
    // Sends the pending mails of `kinds` not on their way already.
    void sendAlerts(int id, const QStringList &kinds);
    // The model's record of the station; false when it was deleted.
    bool findStation(int id, DBStation *station) const;
    void onMailSent(int id, const QString &kind, bool sent, const QString &error);
    void onAlarmMailSent(const AlarmMails::Mail &mail, bool sent, const QString &error);
    SmtpMailer::Server mailServer() const;
    // Takes the visit's configuration (and a clock setting it made) into the
    // history; changes nobody here made go into the report, and the
    // station's status that tells them is returned.
    static QString checkConfiguration(const DBStation &station, VisitReport &report,
                                      QHash<int, qint64> &configCounts, QHash<int, QString> &configTexts);

    StationTableModel *model;
    CollectionOptions opts;
    // What the store held after the last visit of each station.
    QHash<int, StationStats> all;
    QList<VisitReport> pendingReports;
    QTimer *retryTimer = nullptr;
    bool storeScheduled = false;
    // How long one pass of the loop may spend storing visits.
    static constexpr int storeSliceMs = 20;
    int retryBaseMs = 1000;
    // Longest the main loop spends taking back stored visits in one go.
    int takeSliceMs = 10;
    int retryMs = 1000;
    static constexpr int retryMaxMs = 30000;
    MetricsFile *metrics = nullptr;
    MainLoopProbe *lagProbe = nullptr;
    StationRows *rowIndex = nullptr;
    QThreadPool mailPool;
    // Set to end the mails on their way.
    std::shared_ptr<std::atomic_bool> mailAbort = std::make_shared<std::atomic_bool>(false);
    QSet<QPair<int, QString>> mailsOnTheirWay;
    QHash<QPair<int, QString>, int> mailRetryMs;
    int mailRetryBaseMs = 60000;
    static constexpr int mailRetryMaxMs = 3600000;
    // Value alarm mails: who this collector is to the other collectors,
    // the mails on their way, and the wait before the next try.
    QString alarmMailHolder;
    QSet<qint64> alarmMailsOut;
    QTimer *alarmMailTimer = nullptr;
    int alarmMailRetryMs = 0;
    CompletenessSource completeness;
    StoreThread *writer = nullptr;
    std::function<bool(const DBStation &)> prepareCompleteness;
    CompletenessSource backgroundCompleteness;
    // Visits out with the store thread (the first of pendingReports).
    int inFlight = 0;
    QHash<int, qint64> configChangeCounts;
    QHash<int, QString> configChangeTexts;
};
