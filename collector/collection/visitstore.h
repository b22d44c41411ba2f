#pragma once

#include "store/databaseurl.h"
#include "store/resumepoints.h"
#include "store/stationvalues.h"
#include "store/visitcommit.h"

#include <QList>
#include <QString>

#include <memory>

class StoreThread;

// The station store as the workers of this process meet it: where a
// station's download resumes, the commit of each visit's values, and what a
// data file should hold. One connection on a thread of its own serves all
// workers, so a thousand stations cost a server one connection and no
// worker waits on the main thread. Every wait is bounded: a store that does
// not answer in time counts as failed, and the visit saves nothing.
class VisitStore
{
public:
    // The process's instance, for the store the process opened.
    static VisitStore *instance();
    // Waits up to timeoutMs for the work under way, then ends the store's
    // thread (at the end of the process).
    static void shutdown(int timeoutMs = 5000);
    // How long a worker waits for the store (tests shorten it).
    static void setAnswerTimeout(int ms);

    ~VisitStore();

    // An SQLite file takes one writer at a time: a controller that writes
    // the statuses on a thread of its own shares it, so that the commits
    // and the statuses take turns instead of waiting for each other's locks.
    // thread null: the store's own thread again, unless another controller
    // shared its thread since (`unless` names the one to replace).
    void shareThread(StoreThread *thread, StoreThread *unless = nullptr);

    enum class Answer { Known, None, NoAnswer };
    // Where the station's download of that file resumes according to the
    // store: None when the store knows no point of that file.
    Answer resumePoint(int stationId, const QString &fileName, ResumePoints::Point *point);
    // Runs the commit; an outcome Failed with an error when the store does
    // not answer in time (it may still commit later: the values then reach
    // the data file when it is next completed).
    VisitCommit::Outcome commit(const VisitCommit &commit);
    // The target's committed values in order; false when the store did not answer.
    bool values(const StationValues::Target &target, QList<StationValues::Value> *values);

private:
    explicit VisitStore(const DatabaseUrl &url);

    struct Private;
    std::unique_ptr<Private> d;
};
