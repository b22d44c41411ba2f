#pragma once

// A throw-away PostgreSQL server for one test: initdb into a temporary
// folder, listening on a Unix socket in that folder only (no TCP port).
// The server refuses to run as root, so as root it runs as "postgres".

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <pwd.h>
#include <unistd.h>

class PostgresServer
{
public:
    // The server programs of Debian's postgresql package, newest first.
    static QString binDir()
    {
        const QStringList versions =
            QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
            if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable())
                return bin;
        }
        return QString();
    }
    static bool available() { return !binDir().isEmpty(); }

    ~PostgresServer() { stop(); }

    bool start()
    {
        m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/pgtest-XXXXXX"));
        if (!m_dir->isValid())
            return fail(QStringLiteral("no temporary folder"));
        if (::getuid() == 0) {
            const passwd *pw = ::getpwnam("postgres");
            if (!pw)
                return fail(QStringLiteral("running as root and there is no postgres user"));
            m_asUser = QStringLiteral("postgres");
            if (::chown(QFile::encodeName(m_dir->path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
                return fail(QStringLiteral("cannot hand the folder to postgres"));
        }
        m_user = m_asUser.isEmpty() ? QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name) : m_asUser;
        if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), m_user,
                                            QStringLiteral("--auth=trust"), QStringLiteral("-E"),
                                            QStringLiteral("UTF8"), QStringLiteral("--locale=C")}))
            return false;
        if (!startServer())
            return false;
        return run(QStringLiteral("createdb"), {QStringLiteral("-h"), socketDir(), QStringLiteral("-U"), m_user,
                                                QStringLiteral("stations")});
    }

    bool startServer()
    {
        const QString options =
            QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off -c max_connections=50").arg(socketDir());
        return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-o"), options,
                                              QStringLiteral("-l"), m_dir->filePath(QStringLiteral("server.log")),
                                              QStringLiteral("-w"), QStringLiteral("start")});
    }

    bool stopServer()
    {
        return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"),
                                              QStringLiteral("immediate"), QStringLiteral("-w"),
                                              QStringLiteral("stop")});
    }

    void stop()
    {
        if (m_dir && QFileInfo::exists(dataDir() + QStringLiteral("/postmaster.pid")))
            stopServer();
        m_dir.reset();
    }

    QString socketDir() const { return m_dir->path(); }
    QString user() const { return m_user; }
    // postgresql://USER@%2Ftmp%2Fpgtest-...:5432/stations
    QString url() const
    {
        return QStringLiteral("postgresql://%1@%2/stations")
            .arg(m_user, QString::fromLatin1(QUrl::toPercentEncoding(socketDir())));
    }
    QString error() const { return m_error; }

    // A connection of Qt's SQL module to the test database, opened.
    QSqlDatabase connect(const QString &name) const
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(socketDir());
        db.setDatabaseName(QStringLiteral("stations"));
        db.setUserName(m_user);
        db.open();
        return db;
    }

private:
    QString dataDir() const { return m_dir->filePath(QStringLiteral("data")); }

    bool run(const QString &tool, const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        const QString program = binDir() + QLatin1Char('/') + tool;
        if (m_asUser.isEmpty())
            p.start(program, args);
        else
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), m_asUser, QStringLiteral("--"),
                                                           program} + args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return fail(QStringLiteral("%1 failed: %2").arg(tool, QString::fromLocal8Bit(p.readAll())));
        return true;
    }

    bool fail(const QString &text)
    {
        m_error = text;
        return false;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_asUser, m_user, m_error;
};
