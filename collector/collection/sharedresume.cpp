#include "sharedresume.h"

#include "collectorlogging.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QThread>

std::unique_ptr<SharedResume> SharedResume::open(const DatabaseUrl &url, int stationId)
{
    if (url.kind() != DatabaseUrl::PostgreSQL)
        return nullptr;
    const QString name = QStringLiteral("resume-%1-%2")
                             .arg(stationId)
                             .arg(quintptr(QThread::currentThreadId()), 0, 16);
    QSqlDatabase db = QSqlDatabase::addDatabase(url.driver(), name);
    db.setHostName(url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    db.setDatabaseName(url.path());
    db.setUserName(url.user());
    db.setPassword(url.password());
    // Without the server's notices ("relation ... already exists") on stderr.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;options='-c client_min_messages=warning'"));
    // Opened when first needed; a server that is away now may be back then.
    return std::unique_ptr<SharedResume>(new SharedResume(name, stationId));
}

SharedResume::SharedResume(const QString &connection, int stationId)
    : m_connection(connection), m_stationId(stationId)
{
}

SharedResume::~SharedResume()
{
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

ResumePoints::Point SharedResume::pointFor(const QString &fileName)
{
    ResumePoints::Point point;
    QString file;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen() && !db.open()) {
        qCWarning(lcWorker, "station %d: the shared store is not reachable for the resume point: %s", m_stationId,
                  qUtf8Printable(db.lastError().databaseText()));
        return point;
    }
    if (!ResumePoints(m_connection).load(m_stationId, &point, &file) || file != fileName)
        return ResumePoints::Point();
    return point;
}

bool SharedResume::store(const ResumePoints::Point &point, const QString &fileName)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if ((!db.isOpen() && !db.open()) || !ResumePoints(m_connection).store(m_stationId, point, fileName)) {
        // The file holds the point too; only a takeover would read again.
        db.close();
        qCWarning(lcWorker, "station %d: the resume point could not be stored", m_stationId);
        return false;
    }
    return true;
}
