#pragma once

#include "collection/visitreport.h"
#include "store/dbstation.h"
#include "store/stationdaycounts.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>

class StoreThread;

// Keeps the completeness counts of every station (values expected and
// present per day and channel, in the store) up to date from the values
// each visit saves, so that the completeness of the last days needs no file
// read. When the counts cannot go on from the values (first start, a file
// written by someone else, a new file) the station's files are counted
// again, off the main thread, never twice for one station at once.
class CompletenessBook : public QObject
{
    Q_OBJECT
public:
    explicit CompletenessBook(QObject *parent = nullptr);
    // Waits for a recount still reading (its result is dropped).
    ~CompletenessBook() override;

    // Window of the share, in days up to today (30).
    void setDays(int days) { windowDays = days; }
    // Share (0..1) of the values expected over the window that are present,
    // -1 when nothing was expected or the counts are not known yet.
    double share(const DBStation &station, const QDateTime &now, QString *error);
    // Stores the counts on `thread` (a connection of its own) from now on.
    // Not owned; it must outlive the book.
    void setStoreThread(StoreThread *thread) { writer = thread; }
    // The share in two halves when the counts are stored on a store
    // thread. On this thread: whether the station's counts are known (else
    // a recount starts); the counts still waiting go to the store thread,
    // ahead of what is posted after. Then on the store thread:
    double storedShare(int stationId, const QDateTime &now) const;
    bool prepareShare(const DBStation &station);
    // Recounts still waiting or running.
    int recountsPending() const { return running.size(); }
    // Waits (processing events) until no recount is left; false on time-out.
    bool waitForRecounts(int timeoutMs);

    // The counts one visit's values add to what the marks say was counted:
    // values at or before a channel's mark were counted already; the slots
    // between two values are expected, a sensor error's included. The marks
    // move on. Channels without a mark start with their first value.
    static QVector<StationDayCounts::Count> countNew(const SavedValues &saved,
                                                     QHash<int, StationDayCounts::Mark> *marks);
    // The station's files counted from scratch over the window ending now.
    struct Recount
    {
        QVector<StationDayCounts::Count> counts;
        StationDayCounts::State state;
        QString error;
    };
    static Recount recountFiles(const QString &folder, const QString &prefix, const QDateTime &now, int days);

public slots:
    void onVisitReport(VisitReport report);
    // Counts the station's files again (after the running recount, if any).
    void recount(const DBStation &station);

signals:
    void recounted(int id, bool ok);

private:
    void startRecount(const DBStation &station);
    // Stores the counts of the visits since the last call.
    void writePending();
    void onRecounted(int id, const Recount &result);
    // The counts of these stations did not reach the store: counted from
    // the files next time.
    void forget(const QList<int> &ids);

    int windowDays = 30;
    QHash<int, StationDayCounts::State> states;
    // Stations being recounted, and those to count once more afterwards.
    QSet<int> running;
    QHash<int, DBStation> again;
    QThreadPool pool;
    QHash<int, StationDayCounts::Addition> pending;
    bool writeScheduled = false;
    StoreThread *writer = nullptr;
};
