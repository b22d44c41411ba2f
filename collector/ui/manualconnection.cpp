#include "manualconnection.h"
#include "ui_manualconnection.h"

#include "collection/worker.h"
#include "collectorlogging.h"
#include "collectorsettings.h"
#include "consolehistory.h"
#include "filereveal.h"
#include "questions.h"
#include "store/pathpart.h"
#include "store/stationtablemodel.h"
#include "store/workfolder.h"
#include "wizardhistory.h"

#include "nexil/configuration/setupdialog.h"
#include "nexil/configuration/uploadledger.h"
#include "nexil/files/filemanager.h"
#include "nexil/protocol/nexil.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTcpSocket>

namespace {

const QString notAvailable = QStringLiteral("N/A");

QString settingsFile()
{
    return WorkFolder::current().settingsFile();
}

// Dates as the console shows them, the same digits whatever the locale.
QString formatDate(const QDateTime &time, const char *format)
{
    return QLocale::c().toString(time, QLatin1String(format));
}

QString twoDecimals(double value)
{
    return QString::number(value, 'f', 2);
}

// The memory position scaled to B, KB or MB.
QString memorySize(int bytes)
{
    static const char *const units[] = {"B", "KB", "MB"};
    double value = bytes;
    int unit = 0;
    while (value > 1024 && unit < 2) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(twoDecimals(value), QLatin1String(units[unit]));
}

QTableWidgetItem *cell(const QString &text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(int(alignment));
    return item;
}

void appendRow(QTableWidget *table, const QString &name, const QDateTime &time, const QString &type,
               const QString &value)
{
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, cell(name));
    table->setItem(row, 1, cell(formatDate(time, "yyyy-MM-dd hh:mm"), Qt::AlignCenter));
    table->setItem(row, 2, cell(type, Qt::AlignCenter));
    table->setItem(row, 3, cell(value, Qt::AlignRight | Qt::AlignVCenter));
}

} // namespace

ManualConnection::ManualConnection(StationTableModel *model, QWidget *parent)
    : QDialog(parent), ui(new Ui::ManualConnection), model(model), m_questions(Questions::dialogs())
{
    ui->setupUi(this);
    resize(910, 425);
    inSetup = false;
    downloading = false;
    stationMatched = false;
    m_runDialog = [](QDialog *dialog) { return dialog->exec(); };
    m_reveal = [this](const QString &folder, const QString &file) { FileReveal::reveal(folder, file, this); };

    // Return in the host field connects once: no button of the console is
    // pressed by it as well.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        ui->cmbSerialPort->addItem(QStringLiteral("%1 (%2)").arg(port.portName(), port.description()),
                                   port.portName());
    for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        ui->cmbBaudrate->addItem(QString::number(rate), rate);

    typeGroup = new QButtonGroup(this);
    typeGroup->addButton(ui->rbSerialPort);
    typeGroup->addButton(ui->rbTcpIp);
    connect(typeGroup, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this,
            &ManualConnection::onConnectionTypeChanged);

    ui->pbBattery->setRange(0, 1400);
    ui->pbMemory->setRange(0, 536870912);
    const QStringList headers{tr("Channel Name"), tr("Timestamp"), tr("Type"), tr("Value")};
    for (QTableWidget *table : {ui->twInstant, ui->twMaximum, ui->twMinimum, ui->twAlarm}) {
        table->setColumnCount(headers.size());
        table->setHorizontalHeaderLabels(headers);
        table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
        table->setColumnWidth(2, 80);
        table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    }
    clearForm();

    serialPort = new QSerialPort(this);
    serialPort->setObjectName(QStringLiteral("serialPort"));
    connect(serialPort, &QSerialPort::errorOccurred, this, &ManualConnection::onSerialPortError);
    socket = new QTcpSocket(this);
    socket->setObjectName(QStringLiteral("socket"));
    connect(socket, &QTcpSocket::connected, this, &ManualConnection::onSocketConnected);
    connect(socket, &QTcpSocket::disconnected, this, &ManualConnection::onSocketDisconnected);
    connect(socket, &QAbstractSocket::errorOccurred, this, &ManualConnection::onSocketError);

    nexil = new Nexil(this);
    nexil->setObjectName(QStringLiteral("nexil"));
    connect(nexil, &Nexil::setupParameters, this, &ManualConnection::onNexilSetupParameters);
    connect(nexil, &Nexil::fileInformations, this, &ManualConnection::onNexilFileInformations);
    connect(nexil, &Nexil::channelNames, this, &ManualConnection::onNexilChannelNames);
    connect(nexil, &Nexil::channelCalibrations, this, &ManualConnection::onNexilChannelCalibrations);
    connect(nexil, &Nexil::alarmParameters, this, &ManualConnection::onNexilAlarmParameters);
    connect(nexil, &Nexil::downloadStarted, this, &ManualConnection::onNexilDownloadStarted);
    history = new ConsoleHistory(nexil, this);
    // Setting the value of a modal progress window processes events: queued,
    // that happens after the library has finished handling the page.
    connect(nexil, &Nexil::downloadProgress, this, &ManualConnection::onNexilDownloadProgress,
            Qt::QueuedConnection);
    connect(nexil, &Nexil::downloadCompleted, this, &ManualConnection::onNexilDownloadCompleted);
    connect(nexil, &Nexil::dataFile, this, &ManualConnection::onNexilDataFile);
    connect(nexil, &Nexil::error, this, &ManualConnection::onNexilError);

    onConnectionTypeChanged(nullptr);
    loadSettings();
    // A station is one host and port: another port of the same host is another device.
    connect(ui->sbTcpPort, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this](int port) { lookUpHost(ui->txtIP->text(), port); });
    updateFormState();
}

ManualConnection::~ManualConnection()
{
    saveSettings();
    if (uploads)
        uploads->disconnect(this);
    releaseConnection();
    // What the children still report while they go must not reach the
    // console's form.
    serialPort->disconnect(this);
    socket->disconnect(this);
    nexil->disconnect(this);
    delete ui;
}

void ManualConnection::releaseConnection()
{
    const QAbstractSocket::SocketState state = socket->state();
    if (state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState) {
        nexil->cancelLastProcess();
        socket->abort();
        nexil->closeConnection();
    } else if (state == QAbstractSocket::ConnectedState) {
        nexil->cancelLastProcess();
        socket->disconnectFromHost();
        nexil->closeConnection();
    }
    if (serialPort->isOpen()) {
        nexil->cancelLastProcess();
        nexil->closeConnection();
        serialPort->close();
    }
}

void ManualConnection::setQuestions(Questions *questions)
{
    m_questions = questions ? questions : Questions::dialogs();
}

void ManualConnection::setDialogRunner(std::function<int(QDialog *)> runner)
{
    m_runDialog = std::move(runner);
}

void ManualConnection::setFileRevealer(std::function<void(const QString &, const QString &)> revealer)
{
    m_reveal = std::move(revealer);
}

void ManualConnection::loadSettings()
{
    const CollectorSettings defaults = CollectorSettings::load(settingsFile());
    defaultPath = defaults.defaultPath;
    defaultExportText = defaults.exportToText;
    defaultExportExcel = defaults.exportToExcel;
    filePath = defaultPath;
    exportText = defaultExportText;
    exportExcel = defaultExportExcel;

    const QSettings settings(settingsFile(), QSettings::IniFormat);
    const int type = settings.value(QStringLiteral("HISTORY/connection_type"), 0).toInt();
    const QString port = settings.value(QStringLiteral("HISTORY/serialport")).toString().simplified();
    const QString rate =
        settings.value(QStringLiteral("HISTORY/baudrate"), QStringLiteral("115200")).toString().simplified();
    const QString host =
        settings.value(QStringLiteral("HISTORY/host"), QStringLiteral("0.0.0.0")).toString().simplified();
    const int tcpPort = settings.value(QStringLiteral("HISTORY/tcpport"), 4380).toInt();

    for (int i = 0; i < ui->cmbSerialPort->count(); ++i) {
        if (ui->cmbSerialPort->itemData(i).toString() == port)
            ui->cmbSerialPort->setCurrentIndex(i);
    }
    for (int i = 0; i < ui->cmbBaudrate->count(); ++i) {
        if (ui->cmbBaudrate->itemData(i).toString() == rate)
            ui->cmbBaudrate->setCurrentIndex(i);
    }
    ui->txtIP->setText(host);
    ui->sbTcpPort->setValue(tcpPort);
    lookUpHost(host, tcpPort);
    QAbstractButton *button = type == 1 ? ui->rbSerialPort : type == 2 ? ui->rbTcpIp : nullptr;
    if (button)
        button->setChecked(true);
    onConnectionTypeChanged(button);
}

void ManualConnection::saveSettings()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("HISTORY/connection_type"), connectionType);
    settings.setValue(QStringLiteral("HISTORY/serialport"), ui->cmbSerialPort->currentData().toString());
    settings.setValue(QStringLiteral("HISTORY/baudrate"), ui->cmbBaudrate->currentData().toString());
    settings.setValue(QStringLiteral("HISTORY/host"), ui->txtIP->text().simplified());
    settings.setValue(QStringLiteral("HISTORY/tcpport"), ui->sbTcpPort->value());
    settings.sync();
}

void ManualConnection::presetConnection(QString host, int port)
{
    ui->rbTcpIp->setChecked(true);
    ui->txtIP->setText(host);
    ui->sbTcpPort->setValue(port);
    stationMatched = true;
    lookUpHost(host, port);
    onConnectionTypeChanged(ui->rbTcpIp);
    updateFormState();
}

void ManualConnection::lookUpHost(const QString &host, int port)
{
    if (!model)
        return;
    // A host of no station saves where the settings put new stations, with
    // their export options; the file name comes from the device's code.
    filePath = defaultPath;
    exportText = defaultExportText;
    exportExcel = defaultExportExcel;
    fileName.clear();
    stationMatched = false;
    const QString wanted = host.simplified();
    const QList<DBStation> stations = model->stations();
    for (const DBStation &station : stations) {
        if (station.ip != wanted || station.port != port)
            continue;
        filePath = WorkFolder::stationDir(station.file_path);
        fileName = station.file_name;
        exportText = station.export_text;
        exportExcel = station.export_excel;
        stationMatched = true;
    }
}

void ManualConnection::on_txtIP_textEdited(QString arg1)
{
    lookUpHost(arg1, ui->sbTcpPort->value());
}

void ManualConnection::onConnectionTypeChanged(QAbstractButton *button)
{
    QGroupBox *shown = button == ui->rbSerialPort ? ui->gbConnectionSerialPort
                       : button == ui->rbTcpIp    ? ui->gbConnectionTcpIp
                                                  : ui->gbConnectionNone;
    // Hidden first: two groups shown at once would make the window grow.
    for (QGroupBox *group : {ui->gbConnectionSerialPort, ui->gbConnectionTcpIp, ui->gbConnectionNone}) {
        if (group != shown)
            group->hide();
    }
    shown->show();
    if (button == ui->rbSerialPort) {
        connectionType = 1;
        ui->cmbSerialPort->setFocus();
    } else if (button == ui->rbTcpIp) {
        connectionType = 2;
        ui->txtIP->setFocus();
        ui->txtIP->selectAll();
    } else {
        connectionType = 0;
    }
}

bool ManualConnection::isConnected() const
{
    return serialPort->isOpen() || socket->state() == QAbstractSocket::ConnectedState;
}

void ManualConnection::updateFormState()
{
    const bool portOpen = serialPort->isOpen();
    const QAbstractSocket::SocketState state = socket->state();
    const bool socketConnected = state == QAbstractSocket::ConnectedState;
    const bool connecting =
        state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState;
    const bool connected = portOpen || socketConnected;
    const bool idle = connected && !nexil->isBusy() && !downloading && !inSetup && !awaitingUpload();

    ui->btnOpenSerialPort->setText(portOpen ? tr("Disconnect") : tr("Connect"));
    ui->btnConnect->setText(socketConnected ? tr("Disconnect") : tr("Connect"));
    ui->gbConnectionType->setEnabled(!connected && !connecting);
    ui->gbConnectionTcpIp->setEnabled(!connecting);
    ui->cmbSerialPort->setEnabled(!connected);
    ui->cmbBaudrate->setEnabled(!connected);
    ui->txtIP->setEnabled(!connected);
    ui->sbTcpPort->setEnabled(!connected);
    // Disconnect always works, also while an exchange or a late upload
    // answer is awaited; the other button is idle only while nothing is
    // connected.
    ui->btnOpenSerialPort->setEnabled(portOpen || !connected);
    ui->btnConnect->setEnabled(socketConnected || !connected);

    for (QWidget *group : {static_cast<QWidget *>(ui->gbCommands), static_cast<QWidget *>(ui->gbDevice),
                           static_cast<QWidget *>(ui->gbStation), static_cast<QWidget *>(ui->gbFiles),
                           static_cast<QWidget *>(ui->gbBattery), static_cast<QWidget *>(ui->gbMemory),
                           static_cast<QWidget *>(ui->tabWidget)})
        group->setEnabled(idle);
    if (connected)
        ui->txtIP->deselect();
    else
        clearForm();
}

void ManualConnection::clearForm()
{
    for (QLabel *label : {ui->txtDeviceType, ui->txtSerialNo, ui->txtFirmware, ui->txtStationName,
                          ui->txtStationCode, ui->txtRegion, ui->txtBasin, ui->txtNo, ui->txtSetupDate,
                          ui->txtDeviceDate, ui->txtBattery, ui->txtMemory})
        label->setText(notAvailable);
    ui->cmbFileList->clear();
    ui->pbBattery->setValue(0);
    ui->pbMemory->setValue(0);
    for (QTableWidget *table : {ui->twInstant, ui->twMaximum, ui->twMinimum, ui->twAlarm})
        table->setRowCount(0);
    ui->tabWidget->setCurrentIndex(0);
}

// --- Serial port ---------------------------------------------------------

void ManualConnection::on_btnOpenSerialPort_clicked()
{
    if (serialPort->isOpen()) {
        nexil->cancelLastProcess();
        nexil->closeConnection();
        abandonUpload();
        if (downloading) {
            downloading = false;
            closeProgress();
        }
        // A port the library no longer holds is closed here.
        if (serialPort->isOpen())
            serialPort->close();
        updateFormState();
        return;
    }
    serialPort->setPortName(ui->cmbSerialPort->currentData().toString());
    serialPort->setBaudRate(ui->cmbBaudrate->currentData().toInt(), QSerialPort::AllDirections);
    if (serialPort->open(QIODevice::ReadWrite)) {
        nexil->setConnection(serialPort);
        nexil->getSetupParemeters();
    }
    updateFormState();
}

void ManualConnection::onSerialPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    m_questions->critical(this, tr("Error"), serialPort->errorString());
    if (serialPort->isOpen())
        on_btnOpenSerialPort_clicked();
}

// --- TCP -------------------------------------------------------------------

void ManualConnection::on_btnConnect_clicked()
{
    const QAbstractSocket::SocketState state = socket->state();
    if (state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState ||
        state == QAbstractSocket::ConnectedState) {
        nexil->cancelLastProcess();
        socket->disconnectFromHost();
        updateFormState();
        return;
    }
    const QString host = ui->txtIP->text().simplified();
    if (host.isEmpty()) {
        m_questions->critical(this, tr("Host Error"), tr("Please type a correct IP/Host address!"));
        ui->txtIP->selectAll();
        ui->txtIP->setFocus();
        return;
    }
    const int port = ui->sbTcpPort->value();
    if (port == 0) {
        m_questions->critical(this, tr("Port Error"), tr("Please type a correct port number!"));
        ui->sbTcpPort->selectAll();
        ui->sbTcpPort->setFocus();
        return;
    }
    socket->connectToHost(host, quint16(port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    updateFormState();
}

void ManualConnection::on_txtIP_returnPressed()
{
    on_btnConnect_clicked();
}

void ManualConnection::onSocketConnected()
{
    nexil->setConnection(socket);
    nexil->getSetupParemeters();
    updateFormState();
}

void ManualConnection::onSocketDisconnected()
{
    nexil->cancelLastProcess();
    nexil->closeConnection();
    abandonUpload();
    // A download cut short by the link ends with it.
    if (downloading) {
        downloading = false;
        closeProgress();
    }
    updateFormState();
}

void ManualConnection::onSocketError(QAbstractSocket::SocketError)
{
    nexil->cancelLastProcess();
    nexil->closeConnection();
    // A download cut short by the link ends with it.
    if (downloading) {
        downloading = false;
        closeProgress();
    }
    m_questions->critical(this, tr("Error"), socket->errorString());
    abandonUpload();
    updateFormState();
}

// --- Reading chain ---------------------------------------------------------

void ManualConnection::on_btnReadSetup_clicked()
{
    nexil->getSetupParemeters();
    updateFormState();
}

void ManualConnection::onNexilSetupParameters(SetupParameters setupParameters)
{
    setup = setupParameters;
    const SetupParameters &s = setup;
    ui->txtDeviceType->setText(s.header.deviceTypeName);
    ui->txtSerialNo->setText(s.header.serialNumber);
    ui->txtFirmware->setText(QString::number(s.header.firmwareVersion));
    ui->txtStationName->setText(s.stationName);
    ui->txtStationCode->setText(s.stationCode);
    ui->txtRegion->setText(QString::number(s.region));
    ui->txtBasin->setText(QString::number(s.basin));
    ui->txtNo->setText(QString::number(s.stationNo));
    ui->txtDeviceDate->setText(formatDate(s.deviceTime, "dd.MM.yyyy hh:mm"));
    ui->pbBattery->setValue(qRound(double(s.supplyVoltage) * 100));
    ui->txtBattery->setText(tr("%1 V").arg(twoDecimals(double(s.supplyVoltage))));
    fillValueTable(ui->twInstant, s.instantValues, QStringLiteral("INS"));
    fillValueTable(ui->twMaximum, s.maximumValues, QStringLiteral("MAX"));
    fillValueTable(ui->twMinimum, s.minimumValues, QStringLiteral("MIN"));
    if (fileName.isEmpty() || !stationMatched)
        fileName = PathPart::fileName(s.stationCode);
    if (!inSetup && !downloading)
        nexil->getFileInformations();
}

void ManualConnection::fillValueTable(QTableWidget *table, const QList<InstantValue> &values,
                                      const QString &type)
{
    table->setRowCount(0);
    for (const InstantValue &v : values)
        appendRow(table, v.label, v.dateTime, type,
                  QStringLiteral("%1 %2").arg(twoDecimals(double(v.value)), v.unit));
}

void ManualConnection::onNexilFileInformations(FileInformations fileInformations)
{
    files = fileInformations;
    ui->txtSetupDate->setText(
        files.files.isEmpty() ? notAvailable : formatDate(files.files.last().date, "dd.MM.yyyy hh:mm"));
    ui->cmbFileList->clear();
    for (const FileInformation &file : qAsConst(files.files))
        ui->cmbFileList->addItem(
            tr("%1 (%2 bytes)").arg(formatDate(file.date, "yyyy-MM-dd hh:mm")).arg(file.size));
    ui->pbMemory->setValue(files.lastAddress);
    ui->txtMemory->setText(
        QStringLiteral("%1\n(%2)").arg(memorySize(files.lastAddress), ui->pbMemory->text()));
    if (!inSetup && !downloading)
        nexil->getChannelNames();
}

void ManualConnection::onNexilChannelNames(ChannelNames channelNames)
{
    names = channelNames;
    if (!inSetup && !downloading)
        nexil->getChannelCalibrations();
}

void ManualConnection::onNexilChannelCalibrations(ChannelCalibrations channelCalibrations)
{
    calibrations = channelCalibrations;
    if (!inSetup && !downloading)
        nexil->getAlarmParameters();
}

void ManualConnection::onNexilAlarmParameters(AlarmParameters alarmParameters)
{
    alarms = alarmParameters;
    ui->twAlarm->setRowCount(0);
    auto add = [this](const AlarmEvent &event, const QString &type) {
        appendRow(ui->twAlarm, names.names.value(event.channel), event.dateTime, type,
                  QStringLiteral("%1 %2").arg(twoDecimals(double(event.value)),
                                              calibrations.units.value(event.channel)));
    };
    for (const AlarmEvent &event : qAsConst(alarms.maximumEvents))
        add(event, QStringLiteral("MAX"));
    for (const AlarmEvent &event : qAsConst(alarms.minimumEvents))
        add(event, QStringLiteral("MIN"));
    updateFormState();
}

// --- Download ----------------------------------------------------------------

QString ManualConnection::dataFilePathFor() const
{
    // Named like the collector's own downloads of the device.
    const QString folder = filePath.isEmpty() ? defaultPath : filePath;
    // The name comes from the device or the store: it may not leave the folder.
    QString name = PathPart::fileName(fileName);
    if (name.isEmpty())
        name = PathPart::fileName(setup.header.serialNumber);
    if (name.isEmpty())
        name = QStringLiteral("logger");
    return QStringLiteral("%1/%2_%3.xml").arg(folder, name, Worker::dataFileDate(files, setup));
}

void ManualConnection::on_btnDownloadData_clicked()
{
    int page = 0;
    int buffer = 0;
    QDateTime time;
    dataFilePath.clear();
    if (setup.header.deviceType != DeviceUnknown) {
        dataFilePath = dataFilePathFor();
        FileManager fileManager;
        fileManager.getLastMemoryAddresses(&page, &buffer, &time, dataFilePath);
    }
    qCDebug(lcConsole, "download from page %d buffer %d into %s", page, buffer, qPrintable(dataFilePath));
    downloading = true;
    nexil->getData(time, page, buffer);
    updateFormState();
}

void ManualConnection::onNexilDownloadStarted(int total)
{
    closeProgress();
    progress = new QProgressDialog(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setModal(true);
    progress->setFixedSize(450, 90);
    progress->setWindowTitle(tr("Download Progress"));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setRange(0, total);
    progress->setValue(0);
    progress->setLabelText(tr("Downloading %1 packages.").arg(total));
    connect(progress, &QProgressDialog::canceled, this, &ManualConnection::onProgressDialogCanceled);
    // Escape closes the window like its cancel button.
    connect(progress, &QDialog::rejected, this, &ManualConnection::onProgressDialogCanceled);
    progress->show();
}

void ManualConnection::onNexilDownloadProgress(int count, int total)
{
    if (!progress || !downloading)
        return;
    progress->setLabelText(tr("Downloading %1/%2").arg(count).arg(total));
    progress->setValue(count);
}

void ManualConnection::onNexilDataFile(QList<DataFile> files)
{
    if (progress) {
        progress->setRange(0, 0);
        progress->setLabelText(tr("Saving files.."));
    }
    if (files.isEmpty()) {
        updateFormState();
        return;
    }
    // A device of unknown type named no file before the download; the
    // records read at its start name it now.
    const QString path = dataFilePath.isEmpty() ? dataFilePathFor() : dataFilePath;
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    FileManager fileManager;
    const int result = fileManager.saveFile(files.last(), path, exportText, exportExcel);
    qCDebug(lcConsole, "saveFile(%s): %d", qPrintable(path), result);
    if (result == FileManager::Saved) {
        m_reveal(folder, QFileInfo(path).absoluteFilePath());
    } else {
        // The file keeps its resume point, so the next download reads these
        // pages again; the operator must know this one was not kept.
        m_questions->critical(this, tr("Error"),
                              tr("Could not save the data file %1").arg(QDir::toNativeSeparators(path)));
    }
    updateFormState();
}

void ManualConnection::onNexilDownloadCompleted()
{
    downloading = false;
    closeProgress();
    updateFormState();
}

void ManualConnection::onProgressDialogCanceled()
{
    nexil->cancelLastProcess();
    downloading = false;
    closeProgress();
    updateFormState();
}

void ManualConnection::closeProgress()
{
    if (!progress)
        return;
    QProgressDialog *window = progress;
    progress = nullptr;
    window->hide();
    window->disconnect(this);
    window->deleteLater();
}

// --- Setup, test, errors -------------------------------------------------------

void ManualConnection::on_btnSetup_clicked()
{
    auto *wizard = new SetupDialog(nexil, this);
    wizard->setObjectName(QStringLiteral("setupDialog"));
    wizard->setQuestions(m_questions);
    history->wizards()->follow(wizard);
    inSetup = true;
    const int result = m_runDialog(wizard);
    // The record of the send outlives the wizard: an upload it left waiting
    // is answered to the console.
    delete uploads;
    uploads = wizard->uploadLedger();
    uploads->setParent(this);
    history->wizards()->wizardClosed(wizard, uploads);
    delete wizard;
    inSetup = false;
    if (result != QDialog::Accepted && uploads->waiting())
        connect(uploads, &UploadLedger::answered, this, &ManualConnection::onLateUploadAnswer);
    else
        reportSetup(result == QDialog::Accepted, false);
    updateFormState();
}

bool ManualConnection::awaitingUpload() const
{
    return uploads && uploads->waiting();
}

void ManualConnection::onLateUploadAnswer()
{
    if (!uploads || uploads->waiting())
        return;
    uploads->disconnect(this);
    reportSetup(false, true);
    updateFormState();
}

void ManualConnection::abandonUpload()
{
    if (uploads)
        uploads->abandon();
}

void ManualConnection::reportSetup(bool accepted, bool late)
{
    const bool complete = accepted || (uploads && uploads->complete());
    const bool anyTaken = uploads && !uploads->accepted().isEmpty();
    const QString report = uploads ? uploads->report() : QString();
    if (complete) {
        // Taken after the wizard had closed: news to the operator.
        if (late)
            m_questions->information(this, tr("Setup"), report);
    } else {
        if (anyTaken)
            m_questions->warning(this, tr("Setup"),
                                 tr("The device took part of the setup.") + QStringLiteral("\n\n") + report);
        else if (report.isEmpty())
            m_questions->critical(this, tr("Setup"), tr("Operation Failed!"));
        else
            m_questions->critical(this, tr("Setup"),
                                  tr("Operation Failed!") + QStringLiteral("\n\n") + report);
    }
    // What the device holds now is read again.
    if ((complete || anyTaken) && isConnected() && !nexil->isBusy())
        nexil->getSetupParemeters();
}

void ManualConnection::on_btnTest_clicked()
{
    qCDebug(lcConsole, "%dx%d", width(), height());
}

void ManualConnection::onNexilError(int errorCode, QString errString)
{
    Q_UNUSED(errorCode)
    downloading = false;
    nexil->cancelLastProcess();
    closeProgress();
    // An upload left by the wizard is told with what the device took.
    if (!awaitingUpload())
        m_questions->critical(this, tr("Error"), errString);
    updateFormState();
}
