#include "sharedresume.h"

#include "collectorlogging.h"
#include "storethread.h"

#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {
// A visit does not wait longer than this for its resume point.
constexpr int answerTimeoutMs = 10000;

std::mutex instanceMutex;
std::unique_ptr<SharedResume> &theInstance()
{
    static std::unique_ptr<SharedResume> instance;
    return instance;
}

struct Kept
{
    qint64 sequence = 0;
    int stationId = 0;
    ResumePoints::Point point;
    QString file;
    QString holder;
    qint64 epoch = 0;
};
} // namespace

struct SharedResume::Private
{
    explicit Private(const DatabaseUrl &url) : thread(url, QStringLiteral("shared-resume")) {}

    StoreThread thread;
    mutable std::mutex mutex;
    std::condition_variable drained;
    std::deque<Kept> kept;
    // A flush is posted or its retry is waiting: no second one.
    bool flushing = false;
    bool failing = false;
    qint64 nextSequence = 1;
    // Every point up to this one is stored or refused.
    qint64 doneUpTo = 0;
    static constexpr int firstRetryMs = 1000;
    int retryMs = 0;
    QTimer *retry = nullptr; // on the store's thread

    void schedule()
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (flushing)
            return;
        flushing = true;
        thread.post([this] { flush(); });
    }

    // On the store's thread: stores the kept points in order until the
    // server fails, then tries again after a back-off.
    void flush()
    {
        for (;;) {
            Kept next;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (kept.empty()) {
                    flushing = false;
                    retryMs = 0;
                    drained.notify_all();
                    break;
                }
                next = kept.front();
            }
            ResumePoints::Outcome outcome = ResumePoints::Failed;
            if (thread.ready())
                outcome = ResumePoints(thread.connectionName())
                              .store(next.stationId, next.point, next.file, next.holder, next.epoch);
            if (outcome == ResumePoints::Failed) {
                thread.dropConnection();
                std::lock_guard<std::mutex> lock(mutex);
                if (!failing)
                    qCWarning(lcWorker, "the shared store does not take resume points now; they are kept");
                failing = true;
                drained.notify_all();
                retryMs = retryMs == 0 ? firstRetryMs : qMin(retryMs * 2, firstRetryMs * 4);
                if (!retry) {
                    retry = new QTimer(thread.context());
                    retry->setSingleShot(true);
                    QObject::connect(retry, &QTimer::timeout, thread.context(), [this] { flush(); });
                }
                retry->start(retryMs);
                return;
            }
            if (outcome == ResumePoints::Refused)
                qCDebug(lcWorker,
                        "station %d: resume point page %d buffer %d not stored (behind the stored one "
                        "or saved under an older lease)",
                        next.stationId, next.point.page, next.point.buffer);
            std::lock_guard<std::mutex> lock(mutex);
            doneUpTo = kept.front().sequence;
            kept.pop_front();
            drained.notify_all();
            if (failing && kept.empty()) {
                failing = false;
                qCInfo(lcWorker, "the kept resume points are stored");
            }
        }
    }
};

SharedResume *SharedResume::instance()
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    std::unique_ptr<SharedResume> &instance = theInstance();
    if (!instance && DatabaseUrl::current().kind() == DatabaseUrl::PostgreSQL)
        instance.reset(new SharedResume(DatabaseUrl::current()));
    return instance.get();
}

void SharedResume::shutdown(int timeoutMs)
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    std::unique_ptr<SharedResume> &instance = theInstance();
    if (instance && !instance->waitForStored(timeoutMs))
        qCWarning(lcWorker, "%d resume points could not be stored; the data files hold them",
                  instance->keptCount());
    instance.reset();
}

SharedResume::SharedResume(const DatabaseUrl &url) : d(std::make_unique<Private>(url)) {}

SharedResume::~SharedResume() = default;

int SharedResume::keptCount() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return int(d->kept.size());
}

bool SharedResume::waitForStored(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(d->mutex);
    return d->drained.wait_for(lock, std::chrono::milliseconds(qMax(0, timeoutMs)),
                               [this] { return d->kept.empty(); });
}

ResumePoints::Point SharedResume::pointFor(int stationId, const QString &fileName)
{
    ResumePoints::Point waiting;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        for (const Kept &k : d->kept)
            if (k.stationId == stationId && k.file == fileName)
                waiting = ResumePoints::later(waiting, k.point);
    }
    std::pair<ResumePoints::Point, QString> found;
    StoreThread *thread = &d->thread;
    const bool answered = d->thread.call<std::pair<ResumePoints::Point, QString>>(
        [thread, stationId]() {
            std::pair<ResumePoints::Point, QString> out;
            if (thread->ready() &&
                !ResumePoints(thread->connectionName()).load(stationId, &out.first, &out.second))
                thread->dropConnection();
            return out;
        },
        &found, answerTimeoutMs);
    if (!answered || found.second != fileName)
        return waiting;
    return ResumePoints::later(waiting, found.first);
}

bool SharedResume::store(int stationId, const ResumePoints::Point &point, const QString &fileName,
                         const QString &holder, qint64 epoch)
{
    // Never a point without its time base: it would date later values wrongly.
    if (!point.timeBase.isValid())
        return true;
    qint64 sequence = 0;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        sequence = d->nextSequence++;
        d->kept.push_back({sequence, stationId, point, fileName, holder, epoch});
    }
    d->schedule();
    std::unique_lock<std::mutex> lock(d->mutex);
    // Until stored, or the server is found away (then it waits in order).
    d->drained.wait_for(lock, std::chrono::milliseconds(answerTimeoutMs),
                        [&] { return d->doneUpTo >= sequence || d->failing; });
    return d->doneUpTo >= sequence;
}

QSet<int> SharedResume::keptStations() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QSet<int> ids;
    for (const Kept &k : d->kept)
        ids.insert(k.stationId);
    return ids;
}
