#include "wizardhistory.h"

#include "collectorlogging.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"

#include "nexil/configuration/setupdialog.h"
#include "nexil/configuration/uploadledger.h"
#include "nexil/configuration/wizardupload.h"

#include <QDateTime>

WizardHistory::WizardHistory(QObject *console) : QObject(console) {}

int WizardHistory::stationWithCode(const QString &code)
{
    if (code.isEmpty())
        return 0;
    const QList<DBStation> stations = DatabaseConnection::selectStations();
    for (const DBStation &s : stations)
        if (s.code == code)
            return s.id;
    return 0;
}

void WizardHistory::follow(SetupDialog *wizard)
{
    // A new wizard: a late upload of the last one that never got its read
    // is recorded with what is known.
    if (m_late)
        record(m_lateCheck);
    m_late = false;
    if (m_ledger)
        m_ledger->disconnect(this);
    m_ledger = nullptr;
    m_stationId = 0;
    connect(wizard, &SetupDialog::configurationRead, this, &WizardHistory::onRead);
    connect(wizard, &SetupDialog::uploadChecked, this, &WizardHistory::onUpload);
}

void WizardHistory::onRead(const ConfigSnapshot &read)
{
    // The code as the device reported it before anything was changed.
    const QString code =
        read.record(ConfigSnapshot::setupKey()).value(QStringLiteral("stationCode")).toString();
    m_stationId = stationWithCode(code);
    if (m_stationId == 0)
        return;
    if (!ConfigHistory().recordRead(m_stationId, ConfigHistory::wizard(), ConfigHistory::localActor(), read,
                                    QDateTime::currentDateTime()))
        qCWarning(lcConsole, "could not store the configuration read of station %d", m_stationId);
}

void WizardHistory::onUpload(const UploadCheck &check)
{
    record(check);
}

void WizardHistory::record(const UploadCheck &check)
{
    m_late = false;
    if (m_stationId == 0)
        return;
    if (!ConfigHistory().recordUpload(m_stationId, ConfigHistory::wizard(), ConfigHistory::localActor(),
                                      check, QDateTime::currentDateTime()))
        qCWarning(lcConsole, "could not store the upload to station %d", m_stationId);
}

void WizardHistory::wizardClosed(SetupDialog *wizard, UploadLedger *ledger)
{
    wizard->disconnect(this);
    if (!ledger || !ledger->waiting())
        return;
    m_late = true;
    m_lateCheck = wizard->uploadInProgress();
    m_ledger = ledger;
    connect(ledger, &UploadLedger::answered, this, &WizardHistory::onLateAnswer);
}

void WizardHistory::onLateAnswer()
{
    if (!m_ledger || m_ledger->waiting())
        return;
    m_ledger->disconnect(this);
    bool taken = false;
    for (const setupwizard::Upload u : m_ledger->planned()) {
        const QString key = WizardUpload::recordOf(u);
        switch (m_ledger->outcome(u)) {
        case UploadLedger::Accepted:
            m_lateCheck.sent(key, UploadCheck::Outcome::Confirmed);
            taken = true;
            break;
        case UploadLedger::Refused:
            m_lateCheck.sent(key, UploadCheck::Outcome::Refused);
            break;
        case UploadLedger::Failed:
        case UploadLedger::Unanswered:
            m_lateCheck.sent(key, UploadCheck::Outcome::NotAnswered);
            break;
        case UploadLedger::NotSent:
        case UploadLedger::Waiting:
            break;
        }
    }
    // Nothing taken: nothing to read back.
    if (!taken)
        record(m_lateCheck);
}

bool WizardHistory::takeRead(const ConfigSnapshot &read)
{
    if (!m_late || (m_ledger && m_ledger->waiting()))
        return false;
    m_lateCheck.setReadBack(read);
    record(m_lateCheck);
    return true;
}
