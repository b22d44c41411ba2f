#include "visitstore.h"

#include "collectorlogging.h"
#include "store/visitcommits.h"
#include "storethread.h"

#include <QSqlDatabase>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <atomic>
#include <mutex>

namespace {

std::atomic<int> answerTimeoutMs{30000};

std::mutex instanceMutex;
std::unique_ptr<VisitStore> &theInstance()
{
    static std::unique_ptr<VisitStore> instance;
    return instance;
}

} // namespace

struct VisitStore::Private
{
    explicit Private(const DatabaseUrl &url) : url(url) {}

    // The thread the store's work runs on: a controller's, while it shares
    // its own, else one of the store's own.
    StoreThread *current()
    {
        std::lock_guard<std::mutex> lock(threadMutex);
        if (borrowed)
            return borrowed;
        if (!own) {
            own = std::make_unique<StoreThread>(url, QStringLiteral("visit-store"));
#ifdef Q_OS_LINUX
            // It works for the workers, which yield to the main loop: so does it.
            own->post([] {
                const id_t tid = id_t(syscall(SYS_gettid));
                errno = 0;
                const int inherited = getpriority(PRIO_PROCESS, tid);
                if (errno == 0)
                    setpriority(PRIO_PROCESS, tid, qMin(19, inherited + 5));
            });
#endif
        }
        return own.get();
    }

    // Runs `work` with the store's connection on its thread; false when the
    // store is away, the work failed or the answer did not come in time.
    template<typename Result> bool ask(std::function<bool(const QString &, Result *)> work, Result *result)
    {
        StoreThread *t = current();
        // A server gone and back leaves a connection that looks open.
        const bool server = url.kind() == DatabaseUrl::PostgreSQL;
        std::pair<bool, Result> answer;
        const bool answered = t->call<std::pair<bool, Result>>(
            [t, work, server]() {
                std::pair<bool, Result> out{false, Result()};
                if (t->ready())
                    out.first = work(t->connectionName(), &out.second);
                if (!out.first && server)
                    t->dropConnection();
                return out;
            },
            &answer, answerTimeoutMs.load());
        if (!answered || !answer.first)
            return false;
        *result = answer.second;
        return true;
    }

    DatabaseUrl url;
    std::mutex threadMutex;
    StoreThread *borrowed = nullptr;
    std::unique_ptr<StoreThread> own;
};

void VisitStore::shareThread(StoreThread *thread, StoreThread *unless)
{
    std::lock_guard<std::mutex> lock(d->threadMutex);
    if (!unless || d->borrowed == unless)
        d->borrowed = thread;
}

VisitStore *VisitStore::instance()
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    std::unique_ptr<VisitStore> &instance = theInstance();
    if (!instance)
        instance.reset(new VisitStore(DatabaseUrl::current()));
    return instance.get();
}

void VisitStore::shutdown(int timeoutMs)
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    std::unique_ptr<VisitStore> &instance = theInstance();
    if (!instance)
        return;
    // Waits for what is under way: a commit that ends now reaches the files
    // at the next start.
    bool done = false;
    instance->d->current()->call<bool>([] { return true; }, &done, timeoutMs);
    instance.reset();
}

void VisitStore::setAnswerTimeout(int ms)
{
    answerTimeoutMs = qMax(1, ms);
}

VisitStore::VisitStore(const DatabaseUrl &url) : d(std::make_unique<Private>(url))
{
    // Tests make a store that does not answer fail within seconds.
    if (const int ms = qEnvironmentVariableIntValue("TQM510_STORE_ANSWER_MS"))
        setAnswerTimeout(ms);
}

VisitStore::~VisitStore() = default;

VisitStore::Answer VisitStore::resumePoint(int stationId, const QString &fileName, ResumePoints::Point *point)
{
    std::pair<ResumePoints::Point, QString> found;
    const bool answered = d->ask<std::pair<ResumePoints::Point, QString>>(
        [stationId](const QString &connection, std::pair<ResumePoints::Point, QString> *out) {
            return ResumePoints(connection).load(stationId, &out->first, &out->second);
        },
        &found);
    if (!answered)
        return Answer::NoAnswer;
    if (found.second != fileName || !found.first.isValid())
        return Answer::None;
    *point = found.first;
    return Answer::Known;
}

VisitCommit::Outcome VisitStore::commit(const VisitCommit &commit)
{
    VisitCommit::Outcome outcome;
    const bool answered = d->ask<VisitCommit::Outcome>(
        [commit](const QString &connection, VisitCommit::Outcome *out) {
            *out = commit.run(connection);
            return true;
        },
        &outcome);
    if (answered && outcome.result == VisitCommit::Failed && d->url.kind() == DatabaseUrl::PostgreSQL) {
        // A server gone and back leaves a connection that looks open.
        StoreThread *t = d->current();
        t->post([t] { t->dropConnection(); });
    }
    if (!answered) {
        outcome = VisitCommit::Outcome();
        outcome.error = QStringLiteral("the station store did not answer in time");
    }
    return outcome;
}

bool VisitStore::values(const StationValues::Target &target, QList<StationValues::Value> *values)
{
    return d->ask<QList<StationValues::Value>>(
        [target](const QString &connection, QList<StationValues::Value> *out) {
            qint64 number = 0;
            qint64 id = 0;
            ResumePoints::Point point;
            out->clear();
            return VisitCommits(connection).last(target, &number, &point, &id) &&
                   (id == 0 || StationValues(connection).load(target.stationId, id, out));
        },
        values);
}
