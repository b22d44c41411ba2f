#pragma once

#include "nexil/configuration/configsnapshot.h"
#include "nexil/configuration/setuppages.h"
#include "nexil/configuration/uploadcheck.h"
#include "nexil/nexil_global.h"
#include "nexil/protocol/records.h"

#include <QDialog>
#include <QList>
#include <QMetaObject>

class Nexil;
class Questions;
class QAbstractButton;
class SetupDialogForm;
class UploadLedger;
class WizardUpload;

// The wizard that reconfigures a connected datalogger: reads its four
// configuration records, lets the user edit them page by page and uploads
// the calibrations, the alarms or everything. Accepted after the last
// acknowledgement, rejected on cancel or on any error of the library.
class NEXIL_EXPORT SetupDialog : public QDialog
{
    Q_OBJECT
public:
    // `nexil` is bound to a connection and outlives the dialog; reading starts at once.
    explicit SetupDialog(Nexil *nexil, QWidget *parent = nullptr);
    ~SetupDialog() override;

    void setQuestions(Questions *questions);
    // The wait between two uploads of a complete send (500 ms).
    void setUploadPause(int milliseconds);
    int uploadPause() const { return m_uploadPause; }

    // What became of the uploads of the last send. Owned by the dialog; a
    // caller that re-parents it learns the answers that come after the
    // dialog has closed.
    UploadLedger *uploadLedger() const { return m_ledger; }

    // The send in progress or last made: what was meant and which records
    // were answered so far; valid until the next send.
    UploadCheck uploadInProgress() const;

    QString convertCharacters2English(QString text);
    QString capitalise(QString text);

signals:
    // The four records as the wizard read them, and after a send what was
    // meant and what the device confirmed (for the configuration history).
    void configurationRead(ConfigSnapshot read);
    void uploadChecked(UploadCheck check);

private slots:
    void onNexilSetupParameters(SetupParameters parameters);
    void onNexilChannelNames(ChannelNames channelNames);
    void onNexilChannelCalibrations(ChannelCalibrations channelCalibrations);
    void onNexilAlarmParameters(AlarmParameters parameters);
    void onNexilAlarmParametersHaveBeenLoaded();
    void onNexilChannelCalibrationsHaveBeenLoaded();
    void onNexilChannelNamesHaveBeenLoaded();
    void onNexilSetupParametersHaveBeenLoaded();
    void onNexilError(int errorCode, QString errString);
    void onNexilWrongPassword();
    void onChannelStatusChanged(int index);
    void onChannelNameChanged(QString text);
    void onChannelCodeChanged(int index);
    void onRaidoButtonToggled(QAbstractButton *button, bool checked);
    void on_btnCancel_clicked();
    void on_btnBack_clicked();
    void on_btnNext_clicked();
    void on_btnSend_clicked();
    void on_txtStationName_textChanged(QString arg1);
    void on_txtStationCode_textChanged(QString arg1);
    void on_txtPassword_textChanged(QString arg1);

private:
    void initNexil();
    void connectNexilSlots();
    void disconnectNexilSlots();
    void prepareNameTable();
    void prepareCalibrationTable();
    void prepareAlarmTable();
    void updateForm();
    bool checkSetup();
    bool checkNames();
    bool checkCalibrations();
    bool checkAlarms();
    bool checkSendStatus();
    void reject() override;

    setupwizard::SendChoice sendChoice() const;
    void send(setupwizard::Upload upload);
    void continueAfter(setupwizard::Upload done);
    void finish(bool accepted);
    // The channel of a table cell widget that sent a signal; -1 when the
    // sender is no such widget.
    int senderRow(const char *kind);
    void showFailure(const QString &message, QWidget *focus);
    // What the pages hold now, read from their widgets.
    setupwizard::SetupPage setupPage() const;
    QList<setupwizard::NameRow> nameRows() const;
    QList<setupwizard::CalibrationRow> calibrationRows() const;
    QList<setupwizard::AlarmRow> alarmRows() const;
    // Sending or reading back: nothing may be sent again meanwhile.
    bool busy() const;
    ConfigSnapshot workingSnapshot() const;
    // Sending is over (done or stopped): read back what the device took.
    void readBack();
    void onUploadChecked(const UploadCheck &check);

    SetupDialogForm *form;
    Nexil *nexil;
    Questions *m_questions;
    int m_uploadPause = 500;
    QList<QMetaObject::Connection> m_nexilConnections;
    SetupParameters workingSetup;
    ChannelNames workingNames;
    ChannelCalibrations workingCalibrations;
    AlarmParameters workingAlarms;
    WizardUpload *m_upload = nullptr;
    UploadLedger *m_ledger;
    // What the pages showed right after reading: a field still showing it
    // keeps the value read.
    setupwizard::SetupPage m_shownSetup;
    QList<setupwizard::NameRow> m_shownNames;
    QList<setupwizard::CalibrationRow> m_shownCalibrations;
    QList<setupwizard::AlarmRow> m_shownAlarms;
    bool m_readingBack = false;
};
