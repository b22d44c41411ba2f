#pragma once

#include <QString>

// The web server's accounts, in the web_accounts table of the station store:
// a name, a role (viewer or operator) and a memory-hard password hash.
class WebAccounts
{
public:
    static bool isRole(const QString &role);
    // A name people can type: 1 to 64 letters, digits, '.', '_' or '-'.
    static bool isName(const QString &name);

    // Adds the account or gives it a new password and role (default
    // connection); false with a reason.
    static bool add(const QString &name, const QString &role, const QByteArray &password, QString *error);
    // On the named connection: how many accounts there are (0 without table).
    static int count(const QString &connection);
    // The stored hash and role of an account; false when there is none.
    static bool find(const QString &connection, const QString &name, QByteArray *hash, QString *role);
    // One check at a time: each takes tens of megabytes for a moment.
    static bool verify(const QByteArray &hash, const QByteArray &password);
    static bool createTable(const QString &connection = QString());
};
