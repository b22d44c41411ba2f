#pragma once

#include "nexil/configuration/setuppages.h"
#include "nexil/nexil_global.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

class Nexil;

// What became of each upload of one send: taken by the device, refused for
// a wrong password, failed, or never answered. It listens to the library
// object itself, so it can outlive the wizard that started the send and
// still learn the answer of an upload the wizard no longer waits for.
class NEXIL_EXPORT UploadLedger : public QObject
{
    Q_OBJECT
public:
    enum Outcome { NotSent, Waiting, Accepted, Refused, Failed, Unanswered };
    Q_ENUM(Outcome)

    explicit UploadLedger(Nexil *nexil, QObject *parent = nullptr);

    // A new send: the uploads `choice` makes, in order; forgets the last send.
    void plan(setupwizard::SendChoice choice);
    // The same with the uploads given in the order they go.
    void plan(const QList<setupwizard::Upload> &uploads);
    // `upload` was handed to the library; call before the library writes it,
    // since a record it cannot encode is refused at once.
    void sent(setupwizard::Upload upload);
    // The link went before the device answered.
    void abandon();

    Outcome outcome(setupwizard::Upload upload) const { return m_outcomes.value(int(upload), NotSent); }
    QList<setupwizard::Upload> planned() const { return m_planned; }
    QList<setupwizard::Upload> accepted() const;
    // An upload has been written and not yet answered.
    bool waiting() const { return m_waiting != setupwizard::Upload::None; }
    bool anySent() const;
    // Every planned upload was taken.
    bool complete() const;
    // One text for the operator: what the device took, what it refused or
    // did not answer, and what was never sent.
    QString report() const;

    static QString recordName(setupwizard::Upload upload);

signals:
    // The device (or the link) answered an upload.
    void answered(setupwizard::Upload upload, UploadLedger::Outcome outcome);

private:
    void settle(setupwizard::Upload upload, Outcome outcome, const QString &reason = QString());
    QString names(Outcome outcome) const;

    QList<setupwizard::Upload> m_planned;
    QHash<int, Outcome> m_outcomes;
    QString m_reason;
    setupwizard::Upload m_waiting = setupwizard::Upload::None;
};

Q_DECLARE_METATYPE(setupwizard::Upload)
