#pragma once

#include "nexil/configuration/configsnapshot.h"
#include "nexil/configuration/uploadcheck.h"

#include <QObject>
#include <QPointer>
#include <QString>

class SetupDialog;
class UploadLedger;

// Keeps what the setup wizards of one console connection read and upload in
// the configuration history, with the operator here as the actor. It lives
// with the console, not with a wizard: an upload whose answer comes after
// its wizard has closed is still recorded as the wizard's, once the device
// has been read again. The station is the one whose code the device
// reported when the wizard read it, held by its id from then on (an upload
// may change the code).
class WizardHistory : public QObject
{
    Q_OBJECT
public:
    explicit WizardHistory(QObject *console);

    // The store's station with this code; 0 when there is none.
    static int stationWithCode(const QString &code);

    // Records what `wizard` reads and what its sends come to.
    void follow(SetupDialog *wizard);
    // `wizard` has closed; `ledger` (which outlives it) still waits for the
    // answer of the upload in flight when it did.
    void wizardClosed(SetupDialog *wizard, UploadLedger *ledger);
    // A complete read of the device by the console. True when it was the
    // read-back of a late upload and has been recorded with it.
    bool takeRead(const ConfigSnapshot &read);
    // A late upload waits for its answer or for the read that follows it.
    bool pending() const { return m_late; }

private:
    void onRead(const ConfigSnapshot &read);
    void onUpload(const UploadCheck &check);
    void onLateAnswer();
    void record(const UploadCheck &check);

    int m_stationId = 0;
    bool m_late = false;
    UploadCheck m_lateCheck;
    QPointer<UploadLedger> m_ledger;
};
