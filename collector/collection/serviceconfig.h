#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

// The administrator's side of the collector's settings: a configuration file
// (the service's /etc/tqm510/tqm510.conf, named with --config) whose keys
// override the working folder's settings.ini, and passwords handed over as
// systemd credentials ($CREDENTIALS_DIRECTORY/NAME), which override both.
//
// The file holds "key = value" lines; lines starting with # or ; are
// comments. A value is everything after the first "=", blanks at its ends
// removed and nothing else interpreted (commas, quotes, backslashes and
// semicolons stay as written); a value wrapped in double quotes keeps the
// blanks inside them.
class ServiceConfig
{
public:
    // Credential names the collector reads.
    static constexpr const char *DatabasePasswordCredential = "database-password";
    static constexpr const char *SmtpPasswordCredential = "smtp-password";

    // Reads and checks the file; false with the reason (and its line) when
    // it cannot be read or a line is wrong. Keys of the window alone are
    // skipped with a warning.
    bool load(const QString &path, QString *error);
    // Reads the password credentials when systemd gave any; false with the
    // reason when one is there but cannot be read.
    bool loadCredentials(QString *error);
    // The same from a given folder (the value of $CREDENTIALS_DIRECTORY).
    bool loadCredentials(const QString &directory, QString *error);

    QString path() const { return m_path; }
    QStringList warnings() const { return m_warnings; }
    bool contains(const QString &key) const { return m_values.contains(key); }
    // The text of a key as given (a password credential for smtpPassword).
    QString value(const QString &key) const { return m_values.value(key); }
    // A setting of the SETTINGS group: this file's value when it has the key,
    // else the one in `ini`, else `fallback`.
    QVariant setting(const QSettings &ini, const QString &key, const QVariant &fallback = QVariant()) const;
    // Null when no credential gave one.
    QString databasePassword() const { return m_databasePassword; }

    // The database URL to use: the first one given of `option`
    // (--database), `environment` (TQM510_DATABASE), this file and
    // `setting` (settings.ini), with the database password put into it when
    // a credential holds one. Empty when none was given.
    QString databaseUrl(const QString &option, const QString &environment, const QString &setting) const;
    // A PostgreSQL URL with `password` as its password (percent-encoded);
    // anything else unchanged.
    static QString withPassword(const QString &url, const QString &password);

    // The keys the file may hold.
    static QStringList keys();

    // The configuration of this process (set once at start-up; empty until then).
    static const ServiceConfig &current();
    static void setCurrent(const ServiceConfig &config);

private:
    QString m_path;
    QHash<QString, QString> m_values;
    QStringList m_warnings;
    QString m_databasePassword;
};
