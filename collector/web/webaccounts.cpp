#include "webaccounts.h"

#include "weblogging.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <mutex>
#include <sodium.h>

namespace {

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
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._-]{1,64}$"));
    return pattern.match(name).hasMatch();
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
        *error = QStringLiteral("an account name has 1 to 64 letters, digits, '.', '_' or '-'");
        return false;
    }
    if (!isRole(role)) {
        *error = QStringLiteral("the role is viewer or operator");
        return false;
    }
    if (password.size() < 8) {
        *error = QStringLiteral("the password needs at least 8 characters");
        return false;
    }
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

bool WebAccounts::verify(const QByteArray &hash, const QByteArray &password)
{
    static std::mutex oneAtATime;
    std::lock_guard<std::mutex> lock(oneAtATime);
    if (sodium_init() < 0)
        return false;
    const QByteArray text = hash + '\0';
    return crypto_pwhash_str_verify(text.constData(), password.constData(), quint64(password.size())) == 0;
}
