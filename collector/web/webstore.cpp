#include "webstore.h"

#include "store/databaseconnection.h"
#include "weblogging.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <chrono>

WebStore::~WebStore()
{
    stop();
}

bool WebStore::start(const DatabaseUrl &url, QString *error)
{
    std::promise<QString> opened;
    std::future<QString> result = opened.get_future();
    thread = std::thread([this, url, &opened] { loop(url, &opened); });
    *error = result.get();
    if (error->isEmpty())
        return true;
    stop();
    return false;
}

void WebStore::stop()
{
    if (!thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

bool WebStore::reopen(const QString &connection)
{
    static thread_local QElapsedTimer since;
    if (since.isValid() && since.elapsed() < 1000)
        return false;
    since.start();
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    db.close();
    if (!db.open()) {
        qCDebug(lcWeb, "store connection: %s", qUtf8Printable(db.lastError().text()));
        return false;
    }
    if (db.driverName() == QLatin1String("QPSQL")) {
        QSqlQuery query(db);
        query.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
    }
    return true;
}

void WebStore::setPoll(std::function<void(const QString &)> poll, int intervalMs)
{
    std::lock_guard<std::mutex> lock(mutex);
    pollJob = std::move(poll);
    pollMs = intervalMs;
}

void WebStore::post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.push_back(std::move(job));
    }
    wake.notify_one();
}

void WebStore::loop(const DatabaseUrl &url, std::promise<QString> *opened)
{
    {
        QSqlDatabase db = url.addConnection(name);
        if (url.kind() == DatabaseUrl::SQLite)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            opened->set_value(QStringLiteral("cannot open the store for the web server: %1")
                                  .arg(db.lastError().databaseText()));
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return;
        }
        DatabaseConnection::limitPageCache(db);
        if (url.kind() == DatabaseUrl::PostgreSQL) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
        }
        opened->set_value(QString());
        auto lastPoll = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            const auto due = lastPoll + std::chrono::milliseconds(pollMs);
            wake.wait_until(lock, due, [&] { return stopping || !jobs.empty(); });
            if (stopping)
                break;
            // A due poll goes before the queue: a steady stream of requests
            // must not hold back the statuses and the accounts' changes.
            if (pollJob && std::chrono::steady_clock::now() >= due) {
                const auto poll = pollJob;
                lock.unlock();
                poll(name);
                lock.lock();
                lastPoll = std::chrono::steady_clock::now();
            } else if (!jobs.empty()) {
                std::function<void()> job = std::move(jobs.front());
                jobs.pop_front();
                lock.unlock();
                job();
                lock.lock();
            } else if (!pollJob) {
                lastPoll = std::chrono::steady_clock::now();
            }
        }
        // Jobs still queued are answered by running them: their callers wait.
        while (!jobs.empty()) {
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
