#pragma once

#include "store/databaseurl.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <future>
#include <memory>

class QThread;

// A connection of its own to the shared store, on a thread of its own, for
// work that must never wait behind the main thread's (lease renewals, resume
// points). Work is posted to the thread and runs there in order; a caller
// that needs the answer waits for it a bounded time.
class StoreThread
{
public:
    // An invalid url: the store of the main (default) connection.
    StoreThread(const DatabaseUrl &url, const QString &connectionName);
    // Waits for the work under way (each statement has a time-out), then
    // closes the connection and ends the thread.
    ~StoreThread();

    QString connectionName() const { return m_name; }
    // Lives on the thread: parent of its timers, context of its calls.
    QObject *context() const { return m_context; }

    void post(std::function<void()> work);
    // Runs `work` on the thread after what was posted before and waits for
    // it, however long that takes (each statement has a time-out).
    void runAndWait(std::function<void()> work);
    // Runs `work` on the thread and waits up to timeoutMs for its result;
    // false when it did not come in time (the work still runs later).
    template<typename Result> bool call(std::function<Result()> work, Result *result, int timeoutMs)
    {
        auto job = std::make_shared<std::packaged_task<Result()>>(std::move(work));
        std::future<Result> answer = job->get_future();
        post([job] { (*job)(); });
        if (answer.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready)
            return false;
        *result = answer.get();
        return true;
    }

    // On the thread: the connection, opened (again) when needed; false when
    // the server is away.
    bool ready() const;
    // On the thread: after a failed statement, so the next use opens anew.
    void dropConnection() const;

private:
    QString m_name;
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr;
};
