#include "databaseurl.h"

#include <QUrl>
#include <QUrlQuery>

namespace {
DatabaseUrl &processUrl()
{
    static DatabaseUrl url;
    return url;
}
} // namespace

const DatabaseUrl &DatabaseUrl::current()
{
    return processUrl();
}

void DatabaseUrl::setCurrent(const DatabaseUrl &url)
{
    processUrl() = url;
}

DatabaseUrl DatabaseUrl::sqlite(const QString &path)
{
    DatabaseUrl url;
    url.m_path = path;
    return url;
}

bool DatabaseUrl::parse(const QString &text, DatabaseUrl *url, QString *error)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        *error = QStringLiteral("empty database URL");
        return false;
    }
    if (t.startsWith(QLatin1String("sqlite:"))) {
        const QString path = t.mid(7);
        if (path.isEmpty()) {
            *error = QStringLiteral("sqlite: needs a file path");
            return false;
        }
        *url = sqlite(path);
        return true;
    }
    if (!t.startsWith(QLatin1String("postgresql://")) && !t.startsWith(QLatin1String("postgres://"))) {
        if (t.contains(QLatin1String("://"))) {
            *error = QStringLiteral("unknown database URL scheme (sqlite:PATH or postgresql://USER@HOST:PORT/DBNAME)");
            return false;
        }
        *url = sqlite(t);
        return true;
    }

    // QUrl refuses a percent-encoded socket folder as host: take it out and
    // hand QUrl a placeholder host.
    QString checked = t;
    QString socketHost;
    const int authorityStart = t.indexOf(QLatin1String("://")) + 3;
    int pathStart = t.indexOf(QLatin1Char('/'), authorityStart);
    if (pathStart < 0)
        pathStart = t.size();
    const QString authority = t.mid(authorityStart, pathStart - authorityStart);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    const QString hostPort = authority.mid(at + 1);
    if (hostPort.startsWith(QLatin1String("%2F"), Qt::CaseInsensitive)) {
        const int colon = hostPort.indexOf(QLatin1Char(':'));
        socketHost = QUrl::fromPercentEncoding(hostPort.left(colon < 0 ? hostPort.size() : colon).toUtf8());
        checked = t.left(authorityStart) + authority.left(at + 1) + QStringLiteral("localhost") +
                  (colon < 0 ? QString() : hostPort.mid(colon)) + t.mid(pathStart);
    }

    const QUrl u(checked, QUrl::StrictMode);
    if (!u.isValid()) {
        // QUrl's message quotes the whole URL, password and all: keep only its reason.
        *error = QStringLiteral("not a valid database URL: %1")
                     .arg(u.errorString().section(QLatin1String("; source was"), 0, 0));
        return false;
    }
    DatabaseUrl out;
    out.m_kind = PostgreSQL;
    out.m_user = u.userName(QUrl::FullyDecoded);
    out.m_password = u.password(QUrl::FullyDecoded);
    out.m_host = socketHost.isEmpty() ? u.host(QUrl::FullyDecoded) : socketHost;
    const QString socket = QUrlQuery(u).queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (!socket.isEmpty())
        out.m_host = socket;
    out.m_port = u.port(0);
    out.m_path = u.path(QUrl::FullyDecoded).mid(1);
    if (out.m_path.isEmpty() || out.m_path.contains(QLatin1Char('/'))) {
        *error = QStringLiteral("the database URL names no database (postgresql://USER@HOST:PORT/DBNAME)");
        return false;
    }
    if (out.m_port < 0 || out.m_port > 65535) {
        *error = QStringLiteral("the database URL's port is out of range");
        return false;
    }
    *url = out;
    return true;
}

bool DatabaseUrl::choose(const QString &option, const QString &environment, const QString &setting,
                         const QString &defaultPath, DatabaseUrl *url, QString *error)
{
    for (const QString &given : {option, environment, setting})
        if (!given.trimmed().isEmpty())
            return parse(given, url, error);
    *url = sqlite(defaultPath);
    return true;
}

QString DatabaseUrl::driver() const
{
    return m_kind == PostgreSQL ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
}

QString DatabaseUrl::redacted() const
{
    if (m_kind == SQLite)
        return QStringLiteral("sqlite:") + m_path;
    QString text = QStringLiteral("postgresql://");
    if (!m_user.isEmpty())
        text += m_user + QLatin1Char('@');
    text += m_host.startsWith(QLatin1Char('/')) ? QString::fromLatin1(QUrl::toPercentEncoding(m_host)) : m_host;
    if (m_port)
        text += QStringLiteral(":%1").arg(m_port);
    return text + QLatin1Char('/') + m_path;
}

QSqlDatabase DatabaseUrl::addConnection(const QString &name) const
{
    QSqlDatabase db = name.isEmpty() ? QSqlDatabase::addDatabase(driver())
                                     : QSqlDatabase::addDatabase(driver(), name);
    if (m_kind == SQLite) {
        db.setDatabaseName(m_path);
        return db;
    }
    db.setHostName(m_host);
    if (m_port > 0)
        db.setPort(m_port);
    db.setDatabaseName(m_path);
    db.setUserName(m_user);
    db.setPassword(m_password);
    // Without the server's notices ("relation ... already exists") on stderr.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;options='-c client_min_messages=warning'"));
    return db;
}
