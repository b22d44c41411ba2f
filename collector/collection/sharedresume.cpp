#include "sharedresume.h"

#include "collectorlogging.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>

namespace {
const char *const connectionName = "shared-resume";
// A visit does not wait longer than this for its resume point.
constexpr int answerTimeoutMs = 10000;

std::mutex instanceMutex;
std::unique_ptr<SharedResume> &theInstance()
{
    static std::unique_ptr<SharedResume> instance;
    return instance;
}
} // namespace

struct SharedResume::Private
{
    DatabaseUrl url;
    QThread *thread = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;

    void run()
    {
        {
            QSqlDatabase db = url.addConnection(QLatin1String(connectionName));
            for (;;) {
                std::function<void()> task;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    wake.wait(lock, [this] { return stopping || !tasks.empty(); });
                    if (tasks.empty())
                        break;
                    task = std::move(tasks.front());
                    tasks.pop_front();
                }
                task();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QLatin1String(connectionName));
    }

    // Runs on the store's thread; false when it did not answer in time.
    template<typename Result> bool call(std::function<Result()> work, Result *result)
    {
        auto job = std::make_shared<std::packaged_task<Result()>>(std::move(work));
        std::future<Result> answer = job->get_future();
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping)
                return false;
            tasks.emplace_back([job] { (*job)(); });
        }
        wake.notify_one();
        if (answer.wait_for(std::chrono::milliseconds(answerTimeoutMs)) != std::future_status::ready)
            return false;
        *result = answer.get();
        return true;
    }

    // The connection, opened (again) when needed; false when the server is away.
    static bool ready()
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(connectionName), false);
        if (db.isOpen())
            return true;
        if (db.open())
            return true;
        qCWarning(lcWorker, "the shared store is not reachable for resume points: %s",
                  qUtf8Printable(db.lastError().databaseText()));
        return false;
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

void SharedResume::shutdown()
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    theInstance().reset();
}

SharedResume::SharedResume(const DatabaseUrl &url) : d(std::make_unique<Private>())
{
    d->url = url;
    Private *p = d.get();
    d->thread = QThread::create([p] { p->run(); });
    d->thread->start();
}

SharedResume::~SharedResume()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_one();
    d->thread->wait();
    delete d->thread;
}

ResumePoints::Point SharedResume::pointFor(int stationId, const QString &fileName)
{
    std::pair<ResumePoints::Point, QString> found;
    const bool answered = d->call<std::pair<ResumePoints::Point, QString>>(
        [stationId]() {
            std::pair<ResumePoints::Point, QString> out;
            if (Private::ready() &&
                !ResumePoints(QLatin1String(connectionName)).load(stationId, &out.first, &out.second)) {
                // A dropped connection: opened again next time.
                QSqlDatabase::database(QLatin1String(connectionName), false).close();
            }
            return out;
        },
        &found);
    if (!answered || found.second != fileName)
        return ResumePoints::Point();
    return found.first;
}

bool SharedResume::store(int stationId, const ResumePoints::Point &point, const QString &fileName)
{
    bool stored = false;
    const bool answered = d->call<bool>(
        [stationId, point, fileName]() {
            if (Private::ready() && ResumePoints(QLatin1String(connectionName)).store(stationId, point, fileName))
                return true;
            QSqlDatabase::database(QLatin1String(connectionName), false).close();
            return false;
        },
        &stored);
    if (!answered || !stored) {
        // The file holds the point too; only a takeover would read again.
        qCWarning(lcWorker, "station %d: the resume point could not be stored", stationId);
        return false;
    }
    return true;
}
