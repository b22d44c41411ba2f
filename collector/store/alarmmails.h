#pragma once

#include "store/channelchecks.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The mails value alarms owe, kept in the store with the commit that raised
// or cleared them (table alarm_mails), so a collector that stops before
// mailing loses none, and of several collectors sharing the store one sends
// each: a mail is claimed before it goes out, and a claim left by a
// collector that stopped passes to another after a while. Of one station's
// channel and alarm kind only the oldest mail is handed out, so a clearing
// mail never overtakes the mail of its raising.
class AlarmMails
{
public:
    struct Mail
    {
        qint64 id = 0;
        int stationId = 0;
        ChannelChecks::Alarm alarm;
        QDateTime created;
    };

    // connection: a QSqlDatabase connection name (empty: the default one).
    explicit AlarmMails(const QString &connection = QString());
    bool createTable();

    // Inside the commit's transaction: one mail per alarm raised or cleared.
    bool add(int stationId, const QList<ChannelChecks::Alarm> &alarms, const QDateTime &now);
    // Up to `limit` mails to send, claimed for `holder` now: those nobody
    // claimed and those whose claim is older than staleSeconds. False when
    // the store failed.
    bool claim(const QString &holder, const QDateTime &now, int staleSeconds, int limit, QList<Mail> *out);
    // A claimed mail that did not go out, free for the next try.
    bool release(qint64 id);
    // A mail sent, or not to be sent.
    bool remove(qint64 id);
    // Mails older than `before`, sent by nobody: their news is stale. Gives
    // how many were dropped, -1 when the store failed.
    int dropOlderThan(const QDateTime &before);

private:
    QString m_connection;
};
