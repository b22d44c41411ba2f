#include "databaseurl.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <iterator>

namespace {

// Passed on to the client library as they are; host is taken apart.
const char *const knownParameters[] = {"sslmode", "sslrootcert",     "sslcert",
                                       "sslkey",  "connect_timeout", "application_name"};

// Seconds to wait for the server when the URL does not say.
constexpr int defaultConnectTimeout = 5;
// No statement runs longer than 15 s, nor waits more than 10 s for another
// connection's lock: the collector's writes are small, and a stuck one is
// better failed and tried again than holding the main thread.
const char *const serverOptions =
    "-c client_min_messages=warning -c statement_timeout=15000 -c lock_timeout=10000";

// A value in libpq's conninfo: single quotes, with \ and ' escaped.
QString quoted(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

bool checkParameter(const QString &name, const QString &value, QString *error)
{
    // Qt's driver joins its options with ';' and turns each into a space.
    if (value.contains(QLatin1Char(';'))) {
        *error = QStringLiteral("the database URL parameter \"%1\" cannot hold a ';'").arg(name);
        return false;
    }
    if (name == QLatin1String("connect_timeout")) {
        bool ok = false;
        const int seconds = value.toInt(&ok);
        if (!ok || seconds < 0) {
            *error = QStringLiteral("connect_timeout must be a number of seconds");
            return false;
        }
    }
    if (name == QLatin1String("sslmode")) {
        static const QStringList modes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                       QStringLiteral("prefer"),    QStringLiteral("require"),
                                       QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
        if (!modes.contains(value)) {
            *error = QStringLiteral("unknown sslmode \"%1\"").arg(value.left(40));
            return false;
        }
    }
    return true;
}

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
            *error = QStringLiteral(
                "unknown database URL scheme (sqlite:PATH or postgresql://USER@HOST:PORT/DBNAME)");
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
    const QList<QPair<QString, QString>> items = QUrlQuery(u).queryItems(QUrl::FullyDecoded);
    QStringList seen;
    for (const auto &item : items) {
        const QString &name = item.first;
        const bool known = name == QLatin1String("host") ||
                           std::any_of(std::begin(knownParameters), std::end(knownParameters),
                                       [&](const char *k) { return name == QLatin1String(k); });
        if (!known) {
            // Shortened: the text comes from whoever wrote the URL.
            *error = QStringLiteral("unknown database URL parameter \"%1\"").arg(name.left(40));
            return false;
        }
        if (seen.contains(name)) {
            *error = QStringLiteral("the database URL parameter \"%1\" is given twice").arg(name);
            return false;
        }
        seen << name;
        if (!checkParameter(name, item.second, error))
            return false;
        if (name == QLatin1String("host")) {
            if (!item.second.isEmpty())
                out.m_host = item.second;
        } else {
            out.m_parameters.append(item);
        }
    }
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
    text +=
        m_host.startsWith(QLatin1Char('/')) ? QString::fromLatin1(QUrl::toPercentEncoding(m_host)) : m_host;
    if (m_port)
        text += QStringLiteral(":%1").arg(m_port);
    text += QLatin1Char('/') + m_path;
    // None of the parameters is a secret (sslkey names a file).
    QStringList query;
    for (const auto &p : m_parameters)
        query << p.first + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(p.second));
    if (!query.isEmpty())
        text += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return text;
}

QString DatabaseUrl::connectOptions() const
{
    QStringList options;
    bool timeoutGiven = false;
    for (const auto &p : m_parameters) {
        options << p.first + QLatin1Char('=') + quoted(p.second);
        timeoutGiven = timeoutGiven || p.first == QLatin1String("connect_timeout");
    }
    if (!timeoutGiven)
        options.prepend(QStringLiteral("connect_timeout=%1").arg(defaultConnectTimeout));
    options << QStringLiteral("options=") + quoted(QLatin1String(serverOptions));
    return options.join(QLatin1Char(';'));
}

QSqlDatabase DatabaseUrl::addConnection(const QString &name) const
{
    QSqlDatabase db =
        name.isEmpty() ? QSqlDatabase::addDatabase(driver()) : QSqlDatabase::addDatabase(driver(), name);
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
    db.setConnectOptions(connectOptions());
    return db;
}
