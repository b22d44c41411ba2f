#pragma once

#include "store/databaseurl.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

// The web server's own read-only connection to the station store, on a
// thread of its own: Qt's SQL connections belong to the thread that opened
// them, and the collection's connection must never wait for a web request.
// Requests queue their questions here one at a time.
class WebStore
{
public:
    WebStore() = default;
    ~WebStore();
    WebStore(const WebStore &) = delete;
    WebStore &operator=(const WebStore &) = delete;

    // Opens the connection on the store thread; false with a reason.
    bool start(const DatabaseUrl &url, QString *error);
    void stop();

    // Runs job on the store thread with the connection's name and returns
    // its result.
    template<class F> auto run(F job) -> decltype(job(QString()))
    {
        using Result = decltype(job(QString()));
        auto task = std::make_shared<std::packaged_task<Result()>>([this, job] { return job(name); });
        std::future<Result> result = task->get_future();
        post([task] { (*task)(); });
        return result.get();
    }

    // On the store thread: opens the named connection again after a failed
    // question (a restarted server), at most once a second.
    static bool reopen(const QString &connection);

    // Runs poll on the store thread every intervalMs while nothing else runs.
    void setPoll(std::function<void(const QString &connection)> poll, int intervalMs);

private:
    void post(std::function<void()> job);
    void loop(const DatabaseUrl &url, std::promise<QString> *opened);

    const QString name = QStringLiteral("tqm510-web");
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    std::function<void(const QString &)> pollJob;
    int pollMs = 1000;
    bool stopping = false;
    std::thread thread;
};
