#include "webaccounts.h"

#include "weblogging.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <sodium.h>
#include <thread>

namespace {

// Lets a few password checks run at once and the others wait their turn in
// order of arrival: a flood of checks never grows the memory beyond a few
// checks' worth, and a newcomer waits behind at most the queue before it.
class CheckGate
{
public:
    explicit CheckGate(int capacity) : capacity(capacity) {}

    void enter()
    {
        std::unique_lock<std::mutex> lock(mutex);
        const quint64 ticket = issued++;
        turn.wait(lock, [&] { return ticket == serving && running < capacity; });
        ++serving;
        ++running;
        turn.notify_all();
    }

    void leave()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            --running;
        }
        turn.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable turn;
    const int capacity;
    int running = 0;
    quint64 issued = 0, serving = 0;
};

CheckGate &gate()
{
    static CheckGate g(int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)));
    return g;
}

// A hash of a random password with the parameters of the stored ones.
const QByteArray &noAccountHash()
{
    static const QByteArray hash = [] {
        char text[crypto_pwhash_STRBYTES] = {};
        unsigned char password[16];
        if (sodium_init() < 0)
            return QByteArray();
        randombytes_buf(password, sizeof password);
        if (crypto_pwhash_str(text, reinterpret_cast<const char *>(password), sizeof password,
                              crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
            return QByteArray();
        return QByteArray(text);
    }();
    return hash;
}

QSqlDatabase databaseOf(const QString &connection)
{
    return connection.isEmpty() ? QSqlDatabase::database() : QSqlDatabase::database(connection, false);
}

} // namespace

bool WebAccounts::isRole(const QString &role)
{
    return role == QLatin1String("viewer") || role == QLatin1String("operator");
}

bool WebAccounts::isName(const QString &name)
{
    // Not ".", ".." or "-rf": names end up in logs and command lines.
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$"));
    return pattern.match(name).hasMatch();
}

bool WebAccounts::isPassword(const QByteArray &password, QString *error)
{
    int visible = 0;
    for (const char c : password) {
        if (uchar(c) < 0x20 || c == 0x7f) {
            *error = QStringLiteral("the password has a control character (a line break?)");
            return false;
        }
        if (c != ' ')
            ++visible;
    }
    if (visible < 8) {
        *error = QStringLiteral("the password needs at least 8 characters other than spaces");
        return false;
    }
    return true;
}

bool WebAccounts::createTable(const QString &connection)
{
    QSqlQuery query(databaseOf(connection));
    if (query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS web_accounts (name TEXT PRIMARY KEY, "
                                  "role TEXT NOT NULL, password_hash TEXT NOT NULL)")))
        return true;
    qCDebug(lcWeb, "Database Error: %s", qUtf8Printable(query.lastError().text()));
    return false;
}

bool WebAccounts::add(const QString &name, const QString &role, const QByteArray &password, QString *error)
{
    if (!isName(name)) {
        *error = QStringLiteral(
            "an account name has 1 to 64 letters, digits, '.', '_' or '-' and starts with a letter or digit");
        return false;
    }
    if (!isRole(role)) {
        *error = QStringLiteral("the role is viewer or operator");
        return false;
    }
    if (!isPassword(password, error))
        return false;
    if (sodium_init() < 0) {
        *error = QStringLiteral("the cryptography library cannot start");
        return false;
    }
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.constData(), quint64(password.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        *error = QStringLiteral("out of memory while hashing the password");
        return false;
    }
    if (!createTable()) {
        *error = QStringLiteral("cannot create the accounts table");
        return false;
    }
    QSqlQuery query;
    query.prepare(QStringLiteral("DELETE FROM web_accounts WHERE name = ?"));
    query.addBindValue(name);
    query.exec();
    query.prepare(QStringLiteral("INSERT INTO web_accounts (name, role, password_hash) VALUES (?, ?, ?)"));
    query.addBindValue(name);
    query.addBindValue(role);
    query.addBindValue(QString::fromLatin1(hash));
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

bool WebAccounts::remove(const QString &name, QString *error)
{
    QSqlQuery query;
    query.prepare(QStringLiteral("DELETE FROM web_accounts WHERE name = ?"));
    query.addBindValue(name);
    if (!query.exec()) {
        // No table: no accounts at all.
        *error = QStringLiteral("there is no account \"%1\"").arg(name);
        return false;
    }
    if (query.numRowsAffected() < 1) {
        *error = QStringLiteral("there is no account \"%1\"").arg(name);
        return false;
    }
    return true;
}

int WebAccounts::count(const QString &connection)
{
    QSqlQuery query(databaseOf(connection));
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM web_accounts")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool WebAccounts::find(const QString &connection, const QString &name, QByteArray *hash, QString *role)
{
    QSqlQuery query(databaseOf(connection));
    query.prepare(QStringLiteral("SELECT password_hash, role FROM web_accounts WHERE name = ?"));
    query.addBindValue(name);
    if (!query.exec() || !query.next())
        return false;
    *hash = query.value(0).toString().toLatin1();
    *role = query.value(1).toString();
    return isRole(*role);
}

QHash<QString, QByteArray> WebAccounts::prints(const QString &connection, bool *ok)
{
    QHash<QString, QByteArray> out;
    QSqlQuery query(databaseOf(connection));
    *ok = query.exec(QStringLiteral("SELECT name, role, password_hash FROM web_accounts"));
    while (*ok && query.next())
        out.insert(query.value(0).toString(),
                   query.value(1).toString().toUtf8() + '\n' + query.value(2).toString().toLatin1());
    return out;
}

void WebAccounts::prepare()
{
    noAccountHash();
}

bool WebAccounts::verify(const QByteArray &hash, const QByteArray &password)
{
    if (sodium_init() < 0)
        return false;
    const bool known = !hash.isEmpty();
    const QByteArray text = (known ? hash : noAccountHash()) + '\0';
    gate().enter();
    const bool good =
        crypto_pwhash_str_verify(text.constData(), password.constData(), quint64(password.size())) == 0;
    gate().leave();
    return known && good;
}
