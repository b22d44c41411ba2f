#include "serviceconfig.h"

#include "collectorlogging.h"
#include "store/databaseurl.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSettings>
#include <QUrl>

namespace {

enum class Kind { Text, Flag, Count, Port, Minutes, Tls, Database, Address };

struct Key
{
    const char *name;
    Kind kind;
};

// The SETTINGS keys a collection reads, then the command line's choices.
const Key serviceKeys[] = {
    {"database", Kind::Database},
    {"lang", Kind::Text},
    {"retryMinutes", Kind::Minutes},
    {"clockDriftWarnSeconds", Kind::Count},
    {"clockSync", Kind::Flag},
    {"devicePassword", Kind::Text},
    {"memoryWarnDays", Kind::Count},
    {"alertAfterFailures", Kind::Count},
    {"maxVisitsInFlight", Kind::Count},
    {"smtpServer", Kind::Text},
    {"smtpPort", Kind::Port},
    {"smtpTls", Kind::Tls},
    {"smtpUser", Kind::Text},
    {"smtpPassword", Kind::Text},
    {"smtpFrom", Kind::Text},
    {"smtpAllowPlainLogin", Kind::Flag},
    {"collectorId", Kind::Text},
    {"metricsFile", Kind::Text},
    {"web", Kind::Address},
    {"httpAddress", Kind::Address},
    {"httpCertificate", Kind::Text},
    {"httpKey", Kind::Text},
    {"httpLibraries", Kind::Text},
    {"httpTiles", Kind::Text},
    {"httpRequestTimeout", Kind::Count},
};

// The window's look and its defaults for new stations: settings.ini only.
const char *const windowKeys[] = {"style",       "styleSheet",   "fontfamily",   "fontsize",
                                  "defaultpath", "exportToText", "exportToExcel"};

// Files of this kind are a few hundred bytes; anything huge is not one.
constexpr qint64 MaxFileSize = 1 << 20;
constexpr qint64 MaxCredentialSize = 64 * 1024;

const Key *findKey(const QString &name)
{
    for (const Key &k : serviceKeys)
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return &k;
    return nullptr;
}

bool isWindowKey(const QString &name)
{
    for (const char *k : windowKeys)
        if (name.compare(QLatin1String(k), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// HOST:PORT, with [ADDRESS]:PORT for IPv6.
bool isListenAddress(const QString &text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        return !QHostAddress(host.mid(1, host.size() - 2)).isNull();
    if (host.contains(QLatin1Char(':')))
        return false;
    for (const QChar c : qAsConst(host))
        if (!(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-')) || c.unicode() > 127)
            return false;
    return true;
}

// Empty when the value suits the key, else why not.
QString check(const Key &key, const QString &value)
{
    bool ok = false;
    switch (key.kind) {
    case Kind::Text:
        return QString();
    case Kind::Flag: {
        static const QStringList words{QStringLiteral("true"), QStringLiteral("false"), QStringLiteral("yes"),
                                       QStringLiteral("no"),   QStringLiteral("on"),    QStringLiteral("off"),
                                       QStringLiteral("1"),    QStringLiteral("0")};
        return words.contains(value.toLower()) ? QString() : QStringLiteral("expected true or false");
    }
    case Kind::Count: {
        const int n = value.toInt(&ok);
        return ok && n > 0 ? QString() : QStringLiteral("expected a whole number above 0");
    }
    case Kind::Port: {
        const int n = value.toInt(&ok);
        return ok && n > 0 && n < 65536 ? QString() : QStringLiteral("expected a port number (1 to 65535)");
    }
    case Kind::Minutes: {
        const QStringList parts = value.split(QLatin1Char(','));
        if (value.trimmed().isEmpty())
            return QString(); // no retries
        for (const QString &part : parts) {
            const int n = part.trimmed().toInt(&ok);
            if (!ok || n <= 0)
                return QStringLiteral("expected minutes above 0 separated by commas");
        }
        return QString();
    }
    case Kind::Tls: {
        const QString t = value.toLower();
        return t == QLatin1String("none") || t == QLatin1String("starttls") || t == QLatin1String("tls")
                   ? QString()
                   : QStringLiteral("expected none, starttls or tls");
    }
    case Kind::Database: {
        DatabaseUrl url;
        QString why;
        return DatabaseUrl::parse(value, &url, &why) ? QString() : why;
    }
    case Kind::Address:
        return isListenAddress(value) ? QString() : QStringLiteral("expected HOST:PORT");
    }
    return QString();
}

// Reads a small file whole; null with the reason when it cannot.
QByteArray readSmallFile(const QString &path, qint64 limit, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return QByteArray();
    }
    const QByteArray data = file.read(limit + 1);
    if (data.size() > limit) {
        *error = QStringLiteral("larger than %1 bytes").arg(limit);
        return QByteArray();
    }
    return data.isNull() ? QByteArray("") : data;
}

ServiceConfig &processConfig()
{
    static ServiceConfig config;
    return config;
}

} // namespace

bool ServiceConfig::load(const QString &path, QString *error)
{
    QString why;
    const QByteArray data = readSmallFile(path, MaxFileSize, &why);
    if (data.isNull()) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    m_path = path;
    QHash<QString, int> lineOf;
    const QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) || trimmed.startsWith(QLatin1Char(';')))
            continue;
        const auto fail = [&](const QString &text) {
            *error = QStringLiteral("%1, line %2: %3").arg(path).arg(number).arg(text);
            return false;
        };
        const int equals = trimmed.indexOf(QLatin1Char('='));
        if (equals < 0)
            return fail(QStringLiteral("expected key = value"));
        const QString name = trimmed.left(equals).trimmed();
        QString value = trimmed.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        if (isWindowKey(name)) {
            m_warnings << QStringLiteral("%1, line %2: %3 is a setting of the window; it is read from "
                                         "settings.ini only")
                              .arg(path)
                              .arg(number)
                              .arg(name);
            continue;
        }
        const Key *key = findKey(name);
        if (!key)
            return fail(QStringLiteral("unknown key \"%1\"").arg(name.left(64)));
        const QString canonical = QLatin1String(key->name);
        if (lineOf.contains(canonical))
            return fail(
                QStringLiteral("%1 is already set on line %2").arg(canonical).arg(lineOf.value(canonical)));
        const QString problem = check(*key, value);
        if (!problem.isEmpty())
            return fail(QStringLiteral("%1: %2").arg(canonical, problem));
        lineOf.insert(canonical, number);
        m_values.insert(canonical, value);
    }
    qCDebug(lcController) << "configuration file" << path << "sets" << m_values.size() << "keys";
    return true;
}

bool ServiceConfig::loadCredentials(QString *error)
{
    const QString directory = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    return directory.isEmpty() || loadCredentials(directory, error);
}

bool ServiceConfig::loadCredentials(const QString &directory, QString *error)
{
    for (const char *name : {DatabasePasswordCredential, SmtpPasswordCredential}) {
        const QString file = QDir(directory).filePath(QLatin1String(name));
        if (!QFile::exists(file))
            continue;
        QString why;
        QByteArray data = readSmallFile(file, MaxCredentialSize, &why);
        if (data.isNull()) {
            *error = QStringLiteral("credential %1: %2").arg(QLatin1String(name), why);
            return false;
        }
        // Written with echo, a password ends in a line break that is not part of it.
        if (data.endsWith('\n'))
            data.chop(1);
        if (data.endsWith('\r'))
            data.chop(1);
        const QString password = QString::fromUtf8(data);
        if (qstrcmp(name, DatabasePasswordCredential) == 0)
            m_databasePassword = password;
        else
            m_values.insert(QStringLiteral("smtpPassword"), password);
        qCDebug(lcController) << "password credential" << name << "read";
    }
    return true;
}

QVariant ServiceConfig::setting(const QSettings &ini, const QString &key, const QVariant &fallback) const
{
    if (m_values.contains(key))
        return m_values.value(key);
    return ini.value(QStringLiteral("SETTINGS/") + key, fallback);
}

QString ServiceConfig::databaseUrl(const QString &option, const QString &environment,
                                   const QString &setting) const
{
    for (const QString &given : {option, environment, value(QStringLiteral("database")), setting})
        if (!given.trimmed().isEmpty())
            return m_databasePassword.isNull() ? given : withPassword(given.trimmed(), m_databasePassword);
    return QString();
}

QString ServiceConfig::withPassword(const QString &url, const QString &password)
{
    const int schemeEnd = url.indexOf(QLatin1String("://"));
    const QString scheme = url.left(schemeEnd);
    if (schemeEnd < 0 || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")))
        return url;
    const int authorityStart = schemeEnd + 3;
    int authorityEnd = url.size();
    for (const QChar end : {QLatin1Char('/'), QLatin1Char('?')}) {
        const int at = url.indexOf(end, authorityStart);
        if (at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    const QString authority = url.mid(authorityStart, authorityEnd - authorityStart);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    const QString user = at < 0 ? QString() : authority.left(at).section(QLatin1Char(':'), 0, 0);
    const QString hostPort = authority.mid(at + 1);
    return url.left(authorityStart) + user + QLatin1Char(':') +
           QString::fromLatin1(QUrl::toPercentEncoding(password)) + QLatin1Char('@') + hostPort +
           url.mid(authorityEnd);
}

QStringList ServiceConfig::keys()
{
    QStringList names;
    for (const Key &k : serviceKeys)
        names << QLatin1String(k.name);
    return names;
}

const ServiceConfig &ServiceConfig::current()
{
    return processConfig();
}

void ServiceConfig::setCurrent(const ServiceConfig &config)
{
    processConfig() = config;
}
