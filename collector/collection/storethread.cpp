#include "storethread.h"

#include "collectorlogging.h"
#include "store/databaseconnection.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QThread>
#include <QTimer>

StoreThread::StoreThread(const DatabaseUrl &url, const QString &connectionName)
    : m_name(connectionName), m_thread(new QThread), m_context(new QObject)
{
    m_thread->setObjectName(connectionName);
    m_context->moveToThread(m_thread);
    m_thread->start();
    post([url, connectionName] {
        // Without a named store: the same one as the main connection.
        QSqlDatabase db =
            url.isValid()
                ? url.addConnection(connectionName)
                : QSqlDatabase::cloneDatabase(QLatin1String(QSqlDatabase::defaultConnection), connectionName);
        if (db.driverName() == QLatin1String("QSQLITE") && db.open())
            DatabaseConnection::limitPageCache(db);
    });
}

StoreThread::~StoreThread()
{
    const QString name = m_name;
    QObject *context = m_context;
    // The connection and the timers belong to the thread: let go of them
    // there, after the work already posted.
    QMetaObject::invokeMethod(
        m_context,
        [name, context] {
            const QList<QTimer *> timers = context->findChildren<QTimer *>();
            for (QTimer *timer : timers)
                timer->stop();
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_context;
    delete m_thread;
}

void StoreThread::runAndWait(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::BlockingQueuedConnection);
}

void StoreThread::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
}

bool StoreThread::ready() const
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen())
        return true;
    if (db.open()) {
        DatabaseConnection::limitPageCache(db);
        return true;
    }
    qCDebug(lcStore, "%s: the shared store is not reachable: %s", qUtf8Printable(m_name),
            qUtf8Printable(db.lastError().databaseText()));
    return false;
}

void StoreThread::dropConnection() const
{
    QSqlDatabase::database(m_name, false).close();
}
