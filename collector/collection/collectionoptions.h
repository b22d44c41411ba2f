#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// What an unattended collection needs beyond the station records: retries,
// the clock check, the memory warning and the alert mail. Read from the
// SETTINGS group of settings.ini; every key has a default.
struct CollectionOptions
{
    // Built out of line: GCC 12 at -O2 takes an inlined brace list here for
    // a dangling pointer.
    QList<int> retryMinutes = defaultRetryMinutes();
    int clockDriftWarnSeconds = 120;
    bool clockSync = false;
    // The device password a clock setting is sent with.
    QString devicePassword;
    int memoryWarnDays = 3;
    // Consecutive failed visits before the "failing" mail goes out.
    int alertAfterFailures = 3;

    QString smtpServer; // empty: no mail at all
    int smtpPort = 25;
    QString smtpTls = QStringLiteral("none"); // none, starttls or tls
    QString smtpUser;
    QString smtpPassword;
    QString smtpFrom = QStringLiteral("tqm510@localhost");
    // A login over a connection without TLS only when this is set.
    bool smtpAllowPlainLogin = false;

    // The stations' UTC offset unless a station names its own ("+03:00").
    QString utcOffset;
    // Visits in flight at once over all stations (0: no limit): thousands
    // of conversations at the same second only slow each other down.
    int maxVisitsInFlight = 32;

    // Length of one of the minutes above; tests shorten it.
    int minuteMs = 60000;

    static CollectionOptions load(const QString &settingsFile);
    static QList<int> defaultRetryMinutes();
    // "2,5,15" -> {2, 5, 15}; blanks and non-positive entries are dropped,
    // so an empty text turns retries off.
    static QList<int> parseMinutes(const QString &text);
};

Q_DECLARE_METATYPE(CollectionOptions)
