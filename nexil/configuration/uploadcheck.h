#pragma once

#include "nexil/configuration/configsnapshot.h"
#include "nexil/nexil_global.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// Whether each record of an upload reached the device: what was meant,
// compared field by field with what the device reports when read back.
class NEXIL_EXPORT UploadCheck
{
public:
    enum class Outcome { Confirmed, Differs, NotAnswered, Refused, NotSent, NotReadBack };

    struct Result
    {
        QString record;
        Outcome outcome = Outcome::NotSent;
        QList<ConfigChange> differences; // meant → read back, for Differs
        bool confirmed() const { return outcome == Outcome::Confirmed; }
    };

    // The upload of `record` was acknowledged, refused (wrong password) or
    // went unanswered; records never tried stay NotSent.
    void sent(const QString &record, Outcome answer = Outcome::Confirmed);
    // What the upload meant, then what the device reports afterwards.
    void setMeant(const ConfigSnapshot &meant) { m_meant = meant; }
    void setReadBack(const ConfigSnapshot &readBack) { m_readBack = readBack; }

    // One result per meant record, in the order of the uploads.
    QList<Result> results() const;
    bool allConfirmed() const;
    // "Channel names and calibrations confirmed; setup not confirmed: the
    // device did not answer"
    QString summary() const;
    // For the history: {"channelNames": "confirmed", "setup": "not confirmed: ..."}
    QJsonObject toJson() const;

    const ConfigSnapshot &meant() const { return m_meant; }
    const ConfigSnapshot &readBack() const { return m_readBack; }

    static QString recordName(const QString &record);
    static QString reason(const Result &result);

private:
    ConfigSnapshot m_meant;
    ConfigSnapshot m_readBack;
    QHash<QString, Outcome> m_answers;
};
