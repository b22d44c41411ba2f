#include "setupdialog.h"
#include "setupdialogform.h"
#include "setuppages.h"
#include "uploadledger.h"

#include "nexil/configuration/wizardupload.h"
#include "nexil/logging.h"
#include "nexil/protocol/nexil.h"
#include "questions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QThread>

using namespace setupwizard;

namespace {

template<typename W> W *cell(QTableWidget *table, int row, int column)
{
    return qobject_cast<W *>(table->cellWidget(row, column));
}

double number(QTableWidget *table, int row, int column)
{
    auto *box = cell<QDoubleSpinBox>(table, row, column);
    return box ? box->value() : 0.0;
}

void setNumber(QTableWidget *table, int row, int column, double value)
{
    if (auto *box = cell<QDoubleSpinBox>(table, row, column))
        box->setValue(value);
}

void setIndex(QTableWidget *table, int row, int column, int index)
{
    if (auto *box = cell<QComboBox>(table, row, column))
        box->setCurrentIndex(index);
}

// A line edit's text replaced by its normal form, the cursor left where it was.
void normalise(QLineEdit *edit, const QString &shown)
{
    if (edit->text() == shown)
        return;
    const int cursor = edit->cursorPosition();
    edit->setText(shown);
    edit->setCursorPosition(cursor);
}

} // namespace

SetupDialog::SetupDialog(Nexil *nexilObject, QWidget *parent)
    : QDialog(parent), form(new SetupDialogForm), nexil(nexilObject), m_questions(Questions::dialogs()),
      m_ledger(new UploadLedger(nexilObject, this))
{
    form->setupUi(this);
    QMetaObject::connectSlotsByName(this);
    initNexil();
    prepareNameTable();
    prepareCalibrationTable();
    prepareAlarmTable();
    auto *group = new QButtonGroup(this);
    group->addButton(form->rbSendAll);
    group->addButton(form->rbSendOnlyAlarms);
    group->addButton(form->rbSendOnlyCalibrations);
    connect(group, QOverload<QAbstractButton *, bool>::of(&QButtonGroup::buttonToggled), this,
            &SetupDialog::onRaidoButtonToggled);
    m_upload = new WizardUpload(nexil, this);
    connect(m_upload, &WizardUpload::refused, this, &SetupDialog::readBack);
    connect(m_upload, &WizardUpload::checked, this, &SetupDialog::onUploadChecked);
    form->stackedWidget->setCurrentIndex(0);
    updateForm();
}

SetupDialog::~SetupDialog()
{
    delete form;
}

void SetupDialog::setQuestions(Questions *questions)
{
    m_questions = questions;
}

void SetupDialog::setUploadPause(int milliseconds)
{
    m_uploadPause = qMax(0, milliseconds);
}

QString SetupDialog::convertCharacters2English(QString text)
{
    return setupwizard::convertCharacters2English(text);
}

QString SetupDialog::capitalise(QString text)
{
    return setupwizard::capitalise(text);
}

void SetupDialog::initNexil()
{
    workingSetup = SetupParameters();
    connectNexilSlots();
}

void SetupDialog::connectNexilSlots()
{
    m_nexilConnections = {
        connect(nexil, &Nexil::setupParameters, this, &SetupDialog::onNexilSetupParameters),
        connect(nexil, &Nexil::channelNames, this, &SetupDialog::onNexilChannelNames),
        connect(nexil, &Nexil::channelCalibrations, this, &SetupDialog::onNexilChannelCalibrations),
        connect(nexil, &Nexil::alarmParameters, this, &SetupDialog::onNexilAlarmParameters),
        connect(nexil, &Nexil::alarmParametersHaveBeenLoaded, this,
                &SetupDialog::onNexilAlarmParametersHaveBeenLoaded),
        connect(nexil, &Nexil::channelCalibrationsHaveBeenLoaded, this,
                &SetupDialog::onNexilChannelCalibrationsHaveBeenLoaded),
        connect(nexil, &Nexil::channelNamesHaveBeenLoaded, this,
                &SetupDialog::onNexilChannelNamesHaveBeenLoaded),
        connect(nexil, &Nexil::setupParametersHaveBeenLoaded, this,
                &SetupDialog::onNexilSetupParametersHaveBeenLoaded),
        connect(nexil, &Nexil::error, this, &SetupDialog::onNexilError),
        connect(nexil, &Nexil::wrongPassword, this, &SetupDialog::onNexilWrongPassword),
    };
}

void SetupDialog::disconnectNexilSlots()
{
    for (const QMetaObject::Connection &c : qAsConst(m_nexilConnections))
        disconnect(c);
    m_nexilConnections.clear();
}

void SetupDialog::updateForm()
{
    const int page = form->stackedWidget->currentIndex();
    form->txtTitle->setText(pageTitle(page));
    // Cancel stays usable while the device is read: it stops the reading.
    form->frameButtons->setEnabled(true);
    form->btnBack->setEnabled(page >= 2 && !busy());
    form->btnNext->setEnabled(page >= 1 && page <= 4);
    form->btnSend->setEnabled(false);
    switch (page) {
    case 0:
        form->txtReadParameterStatus->setText(tr("Kurulum parametreleri okunuyor\nLütfen bekleyin.."));
        nexil->getSetupParemeters();
        break;
    case 1:
        form->txtStationName->selectAll();
        form->txtStationName->setFocus();
        break;
    case 5:
        checkSendStatus();
        break;
    default:
        break;
    }
}

void SetupDialog::onNexilSetupParameters(SetupParameters p)
{
    workingSetup = p;
    form->txtDeviceType->setText(p.header.deviceTypeName);
    form->txtSerialNo->setText(p.header.serialNumber);
    form->txtFirmware->setText(
        QStringLiteral("%1 (%2)").arg(p.header.deviceName).arg(p.header.firmwareVersion));
    form->txtStationName->setText(p.stationName);
    form->txtStationCode->setText(p.stationCode);
    form->sbRegion->setValue(p.region);
    form->sbBasin->setValue(p.basin);
    form->sbStationNo->setValue(p.stationNo);
    form->sbSensorOnOff->setValue(p.sensorOnOffTime);
    form->sbSensorWait->setValue(p.sensorWaitTime);
    form->cmbStartOfDay->setCurrentIndex(startOfDayIndex(p.dayStart));
    form->cbWaitForExactTime->setChecked(p.waitForExactHour);
    form->cbRS485Output->setChecked(p.rs485Output);
    form->cbKeepOldSetups->setChecked(p.keepOldSetups);
    for (int r = qMax(0, p.activeChannelCount); r < form->twNames->rowCount(); ++r)
        form->twNames->setRowHidden(r, true);
    form->txtReadParameterStatus->setText(tr("Kanal isimleri okunuyor\nLütfen bekleyin.."));
    nexil->getChannelNames();
}

void SetupDialog::onNexilChannelNames(ChannelNames n)
{
    workingNames = n;
    QTableWidget *t = form->twNames;
    for (int r = 0; r < t->rowCount(); ++r) {
        // Rows past the model's channels are never checked or sent: keep them out of sight.
        if (r >= n.channelCount) {
            t->setRowHidden(r, true);
            continue;
        }
        t->setRowHidden(r, false);
        setIndex(t, r, 0, n.channelStates.value(r) ? 1 : 0);
        if (auto *name = cell<QLineEdit>(t, r, 1))
            name->setText(n.names.value(r));
        setIndex(t, r, 2, n.codes.value(r, CodeUnknown) - CodeUnknown);
        if (auto *interval = cell<QSpinBox>(t, r, 3))
            interval->setValue(n.recordIntervals.value(r, 60));
        setIndex(t, r, 4, n.minMaxTypes.value(r));
        setIndex(t, r, 5, n.recordTypes.value(r));
    }
    form->txtReadParameterStatus->setText(tr("Kanal kalibrasyonları okunuyor\nLütfen bekleyin.."));
    nexil->getChannelCalibrations();
}

void SetupDialog::onNexilChannelCalibrations(ChannelCalibrations c)
{
    workingCalibrations = c;
    QTableWidget *t = form->twCalibrations;
    for (int r = 0; r < t->rowCount(); ++r) {
        if (auto *unit = cell<QComboBox>(t, r, 0))
            unit->setCurrentIndex(
                unit->findText(c.units.value(r), Qt::MatchExactly | Qt::MatchCaseSensitive));
        if (r < 5) {
            setNumber(t, r, 1, c.offsets.value(r));
            setNumber(t, r, 2, c.maxValues.value(r));
            setNumber(t, r, 3, c.minValues.value(r));
            setIndex(t, r, 4, c.measurementTypes.value(r));
            setNumber(t, r, 6, c.multipliers.value(r));
            setNumber(t, r, 7, c.minVoltages.value(r));
        }
        if (r < 7)
            setNumber(t, r, 5, c.gains.value(r));
    }
    form->txtReadParameterStatus->setText(tr("Alarm parametreleri okunuyor\nLütfen bekleyin.."));
    nexil->getAlarmParameters();
}

void SetupDialog::onNexilAlarmParameters(AlarmParameters a)
{
    workingAlarms = a;
    QTableWidget *t = form->twAlarms;
    for (int i = 0; i < qMin(a.maximums.size(), t->rowCount()); ++i) {
        setIndex(t, i, 0, a.alarmFlags.value(i) ? 1 : 0);
        // Shown also for a switched-off alarm: switching it on shows what
        // the device holds and would keep.
        setNumber(t, i, 1, a.maximums.value(i));
        setNumber(t, i, 2, a.maximumResets.value(i));
        setNumber(t, i, 3, a.minimums.value(i));
        setNumber(t, i, 4, a.minimumResets.value(i));
    }
    m_shownSetup = setupPage();
    m_shownNames = nameRows();
    m_shownCalibrations = calibrationRows();
    m_shownAlarms = alarmRows();
    m_upload->setRead(workingSnapshot());
    emit configurationRead(m_upload->read());
    form->stackedWidget->setCurrentIndex(1);
    updateForm();
}

void SetupDialog::on_btnNext_clicked()
{
    const int page = form->stackedWidget->currentIndex();
    bool valid = false;
    switch (page) {
    case 1:
        valid = checkSetup();
        break;
    case 2:
        valid = checkNames();
        break;
    case 3:
        valid = checkCalibrations();
        break;
    case 4:
        valid = checkAlarms();
        break;
    default:
        break;
    }
    if (valid)
        form->stackedWidget->setCurrentIndex(page + 1);
    updateForm();
}

void SetupDialog::on_btnBack_clicked()
{
    const int page = form->stackedWidget->currentIndex();
    if (page >= 2 && page <= 5)
        form->stackedWidget->setCurrentIndex(page - 1);
    updateForm();
}

void SetupDialog::showFailure(const QString &message, QWidget *focus)
{
    m_questions->critical(this, tr("Hata"), message);
    if (auto *edit = qobject_cast<QLineEdit *>(focus))
        edit->selectAll();
    if (focus)
        focus->setFocus();
}

setupwizard::SetupPage SetupDialog::setupPage() const
{
    SetupPage page;
    page.stationName = form->txtStationName->text();
    page.stationCode = form->txtStationCode->text();
    page.region = form->sbRegion->value();
    page.basin = form->sbBasin->value();
    page.stationNo = form->sbStationNo->value();
    page.sensorOnOffTime = form->sbSensorOnOff->value();
    page.sensorWaitTime = form->sbSensorWait->value();
    page.startOfDayIndex = form->cmbStartOfDay->currentIndex();
    page.waitForExactHour = form->cbWaitForExactTime->isChecked();
    page.rs485Output = form->cbRS485Output->isChecked();
    page.keepOldSetups = form->cbKeepOldSetups->isChecked();
    return page;
}

QList<NameRow> SetupDialog::nameRows() const
{
    QTableWidget *t = form->twNames;
    QList<NameRow> rows;
    for (int r = 0; r < t->rowCount(); ++r) {
        NameRow row;
        row.status = cell<QComboBox>(t, r, 0)->currentIndex();
        row.name = cell<QLineEdit>(t, r, 1)->text();
        row.codeIndex = cell<QComboBox>(t, r, 2)->currentIndex();
        row.interval = cell<QSpinBox>(t, r, 3)->value();
        row.minMaxType = cell<QComboBox>(t, r, 4)->currentIndex();
        row.recordType = cell<QComboBox>(t, r, 5)->currentIndex();
        rows << row;
    }
    return rows;
}

QList<CalibrationRow> SetupDialog::calibrationRows() const
{
    QTableWidget *t = form->twCalibrations;
    QList<CalibrationRow> rows;
    for (int r = 0; r < t->rowCount(); ++r) {
        CalibrationRow row;
        row.active = cell<QComboBox>(form->twNames, r, 0)->currentIndex() != 0;
        QComboBox *unit = cell<QComboBox>(t, r, 0);
        row.unit = unit->currentIndex() < 0 ? QString() : unit->currentText();
        row.offset = number(t, r, 1);
        row.maxValue = number(t, r, 2);
        row.minValue = number(t, r, 3);
        if (QComboBox *type = cell<QComboBox>(t, r, 4))
            row.measurementType = type->currentIndex();
        row.gain = number(t, r, 5);
        row.multiplier = number(t, r, 6);
        row.minVoltage = number(t, r, 7);
        rows << row;
    }
    return rows;
}

QList<AlarmRow> SetupDialog::alarmRows() const
{
    QTableWidget *t = form->twAlarms;
    QList<AlarmRow> rows;
    for (int r = 0; r < t->rowCount(); ++r) {
        AlarmRow row;
        row.state = cell<QComboBox>(t, r, 0)->currentIndex();
        row.maximum = number(t, r, 1);
        row.maximumReset = number(t, r, 2);
        row.minimum = number(t, r, 3);
        row.minimumReset = number(t, r, 4);
        rows << row;
    }
    return rows;
}

bool SetupDialog::checkSetup()
{
    SetupPage page = setupPage();
    const CheckResult result = setupwizard::checkSetup(&page, &workingSetup, &m_shownSetup);
    if (!result.ok) {
        showFailure(result.message, form->txtStationName);
        return false;
    }
    form->txtStationName->setText(page.stationName);
    form->txtStationCode->setText(page.stationCode);
    return true;
}

bool SetupDialog::checkNames()
{
    const CheckResult result = setupwizard::checkNames(nameRows(), &workingNames, m_shownNames);
    if (!result.ok)
        showFailure(result.message, form->twNames->cellWidget(result.row, result.column));
    return result.ok;
}

bool SetupDialog::checkCalibrations()
{
    const CheckResult result =
        setupwizard::checkCalibrations(calibrationRows(), &workingCalibrations, m_shownCalibrations);
    if (!result.ok)
        showFailure(result.message, form->twCalibrations->cellWidget(result.row, result.column));
    return result.ok;
}

bool SetupDialog::checkAlarms()
{
    return setupwizard::checkAlarms(alarmRows(), &workingAlarms, m_shownAlarms).ok;
}

SendChoice SetupDialog::sendChoice() const
{
    if (form->rbSendOnlyAlarms->isChecked())
        return SendChoice::Alarms;
    if (form->rbSendOnlyCalibrations->isChecked())
        return SendChoice::Calibrations;
    if (form->rbSendAll->isChecked())
        return SendChoice::All;
    return SendChoice::None;
}

bool SetupDialog::checkSendStatus()
{
    const bool enabled = !busy() && sendEnabled(sendChoice(), form->txtPassword->text());
    form->btnSend->setEnabled(enabled);
    return enabled;
}

bool SetupDialog::busy() const
{
    return m_upload->isSending() || m_readingBack;
}

UploadCheck SetupDialog::uploadInProgress() const
{
    return m_upload->progress();
}

void SetupDialog::onRaidoButtonToggled(QAbstractButton *, bool)
{
    checkSendStatus();
}

void SetupDialog::on_txtPassword_textChanged(QString)
{
    checkSendStatus();
}

void SetupDialog::on_txtStationName_textChanged(QString arg1)
{
    normalise(form->txtStationName, stationText(arg1));
}

void SetupDialog::on_txtStationCode_textChanged(QString arg1)
{
    normalise(form->txtStationCode, stationText(arg1));
}

void SetupDialog::send(Upload upload)
{
    form->txtSendStatus->setText(sendingText(upload));
    m_ledger->sent(upload);
    const QString password = form->txtPassword->text();
    switch (upload) {
    case Upload::Names:
        nexil->sendChannelNames(password, workingNames);
        break;
    case Upload::Calibrations:
        nexil->sendCalibrations(password, workingCalibrations);
        break;
    case Upload::Setup:
        nexil->sendSetupParameters(password, workingSetup);
        break;
    case Upload::Alarms:
        nexil->sendAlarmParameters(password, workingAlarms);
        break;
    case Upload::None:
        break;
    }
}

void SetupDialog::on_btnSend_clicked()
{
    if (m_upload->isSending())
        return;
    // The operator sees what changes before anything goes, and may send
    // the unchanged records too.
    const ConfigSnapshot working = workingSnapshot();
    const QList<Upload> changed = m_upload->plan(sendChoice(), working, false);
    const QStringList lines = m_upload->changes(working, changed);
    const QString text =
        lines.isEmpty()
            ? tr("Nothing differs from what was read from the device.")
            : tr("Changes against what was read from the device:\n%1").arg(lines.join(QLatin1Char('\n')));
    const QMessageBox::StandardButton answer = m_questions->question(
        this, tr("Gönder"),
        text + QStringLiteral("\n\n") +
            tr("Yes sends the changed records, Yes to All sends every record, No sends nothing."),
        QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes && answer != QMessageBox::YesToAll)
        return;
    const QList<Upload> uploads =
        answer == QMessageBox::YesToAll ? m_upload->plan(sendChoice(), working, true) : changed;
    m_ledger->plan(uploads);
    const Upload first = m_upload->start(uploads, working);
    if (first == Upload::None) {
        form->txtSendStatus->setText(tr("Nothing was sent: no record differs from the device's."));
        return;
    }
    send(first);
    updateForm();
}

void SetupDialog::continueAfter(Upload done)
{
    const Upload next = m_upload->acknowledged();
    if (next == Upload::None)
        return readBack();
    // The device needs a moment between two uploads (not before the alarms
    // that follow the setup); nothing else may happen meanwhile.
    if (done != Upload::Setup && m_uploadPause > 0)
        QThread::msleep(ulong(m_uploadPause));
    send(next);
}

ConfigSnapshot SetupDialog::workingSnapshot() const
{
    ConfigSnapshot s;
    s.setSetup(workingSetup);
    s.setNames(workingNames);
    s.setCalibrations(workingCalibrations);
    s.setAlarms(workingAlarms);
    return s;
}

void SetupDialog::readBack()
{
    disconnectNexilSlots();
    const QString reading = tr("Reading back what the device took\nLütfen bekleyin..");
    // A refusal stays in sight while the device is read.
    const QList<Upload> planned = m_ledger->planned();
    const bool refused = std::any_of(planned.cbegin(), planned.cend(), [this](Upload u) {
        return m_ledger->outcome(u) == UploadLedger::Refused;
    });
    form->txtSendStatus->setText(refused ? m_ledger->report() + QLatin1Char('\n') + reading : reading);
    m_readingBack = true;
    updateForm();
    m_upload->readBack();
}

void SetupDialog::onUploadChecked(const UploadCheck &check)
{
    m_readingBack = false;
    updateForm();
    emit uploadChecked(check);
    const QString summary = check.summary();
    form->txtSendStatus->setText(summary);
    if (check.allConfirmed()) {
        m_questions->information(this, tr("Gönder"), summary);
        return finish(true);
    }
    m_questions->warning(this, tr("Gönder"), summary);
    // A refusal leaves the wizard open for a corrected password.
    const QList<UploadCheck::Result> results = check.results();
    if (std::any_of(results.cbegin(), results.cend(), [](const UploadCheck::Result &r) {
            return r.outcome == UploadCheck::Outcome::Refused;
        })) {
        connectNexilSlots();
        return;
    }
    finish(false);
}

void SetupDialog::finish(bool accepted)
{
    disconnectNexilSlots();
    if (accepted)
        accept();
    else
        reject();
}

void SetupDialog::onNexilChannelNamesHaveBeenLoaded()
{
    continueAfter(Upload::Names);
}

void SetupDialog::onNexilChannelCalibrationsHaveBeenLoaded()
{
    continueAfter(Upload::Calibrations);
}

void SetupDialog::onNexilSetupParametersHaveBeenLoaded()
{
    continueAfter(Upload::Setup);
}

void SetupDialog::onNexilAlarmParametersHaveBeenLoaded()
{
    continueAfter(Upload::Alarms);
}

void SetupDialog::onNexilError(int errorCode, QString errString)
{
    if (errorCode == 0)
        return;
    qCDebug(lcConfiguration, "SetupDialog: %s", qPrintable(errString));
    nexil->cancelLastProcess();
    // An upload that went unanswered: what the device took is read back.
    if (m_upload->isSending()) {
        m_upload->unanswered();
        return readBack();
    }
    finish(false);
}

void SetupDialog::onNexilWrongPassword()
{
    // Told at once; what the device took before is read back next.
    form->txtSendStatus->setText(m_ledger->report());
    checkSendStatus();
}

void SetupDialog::on_btnCancel_clicked()
{
    finish(false);
}

void SetupDialog::reject()
{
    // Escape and Cancel alike: a read of the wizard's own stops with it; an
    // upload in flight is left to its answer, which the ledger still hears.
    disconnectNexilSlots();
    const bool reading = form->stackedWidget->currentIndex() == 0 || m_readingBack;
    if (reading && !m_upload->isSending() && nexil->isBusy())
        nexil->cancelLastProcess();
    QDialog::reject();
}
