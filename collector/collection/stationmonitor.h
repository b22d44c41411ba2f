#pragma once

#include "collection/collectionoptions.h"
#include "collection/visitreport.h"
#include "store/dbstation.h"
#include "store/stationstats.h"

#include <QHash>
#include <QObject>
#include <QThreadPool>

#include <functional>

class MetricsFile;
class StationTableModel;

// Keeps every station's visit statistics on the main thread: updates them
// from each visit's report, stores them, forecasts the memory, sends the
// alert mails and rewrites the metrics file.
class StationMonitor : public QObject
{
    Q_OBJECT
public:
    StationMonitor(StationTableModel *model, const CollectionOptions &options, QObject *parent = nullptr);
    // Waits for mails still being sent.
    ~StationMonitor() override;

    void setOptions(const CollectionOptions &options) { opts = options; }
    StationStats stats(int id) const;
    // Writes the metrics to `path` from now on; empty stops it.
    void setMetricsFile(const QString &path);
    MetricsFile *metricsFile() const { return metrics; }
    // Share (0..1) of the values expected over a station's last 30 days that
    // its data files hold, negative when nothing was expected; asked after
    // each successful visit. Without one the completeness stays unknown.
    using CompletenessSource = std::function<double(const DBStation &station, const QDateTime &now)>;
    void setCompletenessSource(CompletenessSource source) { completeness = std::move(source); }
    // Waits up to timeoutMs for the mails on their way; true when none is left.
    bool waitForMail(int timeoutMs);

    // The statistics after one more visit (pure: no database, no mail).
    static void apply(StationStats &stats, const VisitReport &report, const CollectionOptions &options);
    // Subject and text of an alert mail of the given kind.
    static QPair<QString, QString> alertMail(const QString &kind, const DBStation &station,
                                             const StationStats &stats, const CollectionOptions &options);

signals:
    void statsUpdated(int id, StationStats stats);
    // A warning the operator should see besides the statuses.
    void warning(int id, QString text);
    void mailFinished(int id, QString kind, bool sent, QString error);

public slots:
    void onVisitReport(VisitReport report);

private:
    void updateMetrics();
    void sendAlerts(const DBStation &station, StationStats &stats, bool succeeded, const QDateTime &now);

    StationTableModel *model;
    CollectionOptions opts;
    QHash<int, StationStats> all;
    MetricsFile *metrics = nullptr;
    QThreadPool mailPool;
    CompletenessSource completeness;
};
