#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The web server's accounts, in the web_accounts table of the station store:
// a name, a role (viewer or operator) and a memory-hard password hash.
class WebAccounts
{
public:
    static bool isRole(const QString &role);
    // A name people can type: 1 to 64 letters, digits, '.', '_' or '-',
    // starting with a letter or digit.
    static bool isName(const QString &name);
    // At least 8 characters other than spaces; no control characters.
    static bool isPassword(const QByteArray &password, QString *error);

    // Adds the account or gives it a new password and role (default
    // connection); false with a reason.
    static bool add(const QString &name, const QString &role, const QByteArray &password, QString *error);
    // Removes the account (default connection); false with a reason, also
    // when there is no such account.
    static bool remove(const QString &name, QString *error);
    // On the named connection: how many accounts there are (0 without table).
    static int count(const QString &connection);
    // The stored hash and role of an account; false when there is none.
    static bool find(const QString &connection, const QString &name, QByteArray *hash, QString *role);
    // Every account's role and hash as one text, by name: what a session
    // was opened with, to end it when the account changes.
    static QHash<QString, QByteArray> prints(const QString &connection, bool *ok);
    // Checks a password against a hash, or against a hash of no account when
    // hash is empty, so that an unknown name costs what a known one does.
    // At most a few checks run at once (each takes tens of megabytes for a
    // moment); the others wait in their order of arrival.
    static bool verify(const QByteArray &hash, const QByteArray &password);
    // Makes the hash of no account now rather than on the first check.
    static void prepare();
    static bool createTable(const QString &connection = QString());
};
