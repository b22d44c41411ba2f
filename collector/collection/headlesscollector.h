#pragma once

#include "collection/servicenotifier.h"
#include "store/dbstation.h"

#include <QObject>
#include <QSet>

class LeaseKeeper;
class QSocketNotifier;
class QTextStream;
class StationTableModel;
class WorkerController;

// Runs the collection without any window: the same database, model,
// controller and workers as the desktop program, one line per published
// status on the given stream. SIGINT and SIGTERM end it cleanly.
class HeadlessCollector : public QObject
{
    Q_OBJECT
public:
    explicit HeadlessCollector(QTextStream &out, QTextStream &err, QObject *parent = nullptr);
    ~HeadlessCollector() override;

    // Collects until a stop signal (exit status 0), or with `once` visits
    // every active station one time and returns 0 when no visit ended in an
    // error, 1 otherwise. 1 as well when the database cannot be opened.
    int run(bool once);

    // Adds active stations given as "CODE,HOST,PORT[,DIRECTORY]" (directory
    // by default ../files/CODE) and prints "id<TAB>code" for each; 0 when
    // all were added, 1 on a bad text (nothing added) or when the database
    // refuses one (those before it stay).
    int addStations(const QStringList &texts);
    // "CODE,key=value" each: sets a station setting (utcOffset, exportFormats)
    // of the station with that code; an empty value removes it.
    int setStationSettings(const QStringList &texts);

    // The name of this collector among several on a shared store (default:
    // host name and process id).
    void setCollectorId(const QString &id) { collectorId = id; }
    // Prints every station's main figures (a table, or JSON) and returns 0;
    // 1 when the database cannot be opened.
    int printStatus(bool json);
    // With run(): rewrite this metrics file after the visits and on a heartbeat.
    void setMetricsFile(const QString &path) { metricsPath = path; }

signals:
    // The collection is set up (before the first visit) / about to stop.
    void collectionStarted(StationTableModel *model, WorkerController *controller);
    void collectionStopping();

private slots:
    void onStatusPublished(DBStation station);
    void onVisitEnded(int id, bool hasError);
    void onStoreFailing(int keptCount);
    void onKeptStatusesStored(int count);
    void onStopSignal();
    void onWarning(int id, QString text);
    void onMailFinished(int id, QString kind, bool sent, QString error);

private:
    bool openDatabase();
    bool installSignalHandlers();
    void finish(int exitCode);
    void finishRoundWhenStored();
    QString now() const;
    void flushSoon();

    QTextStream &out;
    QTextStream &err;
    StationTableModel *model = nullptr;
    WorkerController *controller = nullptr;
    LeaseKeeper *leases = nullptr; // on a shared store only
    QString collectorId;
    QSocketNotifier *signalNotifier = nullptr;
    bool once = false;
    ServiceNotifier notifier; // readiness and watchdog when systemd runs us
    bool finishing = false;
    QSet<int> pendingVisits;
    bool anyVisitFailed = false;
    // A single round is over but statuses wait for a busy database.
    bool roundOver = false;
    QString metricsPath;
    bool flushQueued = false;
    mutable qint64 nowSecond = -1;
    mutable QString nowText;
};
