#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDebug>
#include <QEventLoop>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTimer>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcModem, "tools.modem", QtInfoMsg)

namespace {

const char na[] = "N/A";

// Switching a field on hands it to the user: text selected, focus in it.
void enableField(QLineEdit *field, bool on)
{
    field->setEnabled(on);
    if (on) {
        field->selectAll();
        field->setFocus();
    }
}

void enableField(QSpinBox *field, bool on)
{
    field->setEnabled(on);
    if (on) {
        field->selectAll();
        field->setFocus();
    }
}

template<typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

static void initResources()
{
    Q_INIT_RESOURCE(modem);
}

MainWindow::MainWindow(const QString &settingsFile, QWidget *parent) : ConnectionWindow(settingsFile, parent)
{
    initResources();
    m_answerTimer = new QTimer(this);
    m_answerTimer->setSingleShot(true);
    m_answerTimer->setInterval(10000);
    connect(m_answerTimer, &QTimer::timeout, this, &MainWindow::onAnswerTimeout);
    setupUi();
    setupConnection();
    resetForm();
    report(QStringLiteral("Ready to connect."));
    refreshControls();
}

void MainWindow::setCommandModeDelays(int guardMs, int answerMs)
{
    m_guardMs = qMax(0, guardMs);
    m_answerMs = qMax(0, answerMs);
}

void MainWindow::setAnswerTimeout(int ms)
{
    m_answerTimer->setInterval(qMax(1, ms));
}

void MainWindow::setupUi()
{
    setWindowTitle(QStringLiteral("Velk Modem Setup"));
    resize(640, 560);

    m_actionRead =
        makeAction("actionRead", QStringLiteral("Read"), QStringLiteral("Read parameters from modem"),
                   QStringLiteral(":/images/read.png"));
    m_actionLoad =
        makeAction("actionLoad", QStringLiteral("Load"), QStringLiteral("Load parameters to modem"),
                   QStringLiteral(":/images/load.png"));
    QVBoxLayout *layout = setupShell({m_actionRead, m_actionLoad});

    m_parameters = createParameterArea(centralWidget());
    layout->addWidget(m_parameters, 1);

    QMetaObject::connectSlotsByName(this);
    connect(m_groupListen, QOverload<QAbstractButton *, bool>::of(&QButtonGroup::buttonToggled), this,
            &MainWindow::onGroupListenToggled);
}

QWidget *MainWindow::createParameterArea(QWidget *parent)
{
    auto *area = named(new QWidget(parent), "frmParameters");
    auto *grid = new QGridLayout(area);

    auto *device = named(new QGroupBox(QStringLiteral("Device"), area), "grpDevice");
    auto *deviceForm = new QFormLayout(device);
    m_txtFirmware = named(new QLabel(QLatin1String(na), device), "txtFirmware");
    m_txtSerialNo = named(new QLabel(QLatin1String(na), device), "txtSerialNo");
    m_txtAPNName = named(new QLineEdit(device), "txtAPNName");
    m_txtUserName = named(new QLineEdit(device), "txtUserName");
    m_txtPassword = named(new QLineEdit(device), "txtPassword");
    deviceForm->addRow(QStringLiteral("Firmware"), m_txtFirmware);
    deviceForm->addRow(QStringLiteral("Serial No"), m_txtSerialNo);
    deviceForm->addRow(QStringLiteral("APN"), m_txtAPNName);
    deviceForm->addRow(QStringLiteral("User Name"), m_txtUserName);
    deviceForm->addRow(QStringLiteral("Password"), m_txtPassword);
    grid->addWidget(device, 0, 0);

    auto *sms = named(new QGroupBox(QStringLiteral("SMS"), area), "grpSMS");
    auto *smsGrid = new QGridLayout(sms);
    const char *phoneNames[3] = {"txtPhone1", "txtPhone2", "txtPhone3"};
    const char *phoneBoxes[3] = {"cbPhone1", "cbPhone2", "cbPhone3"};
    for (int i = 0; i < 3; ++i) {
        m_cbPhone[i] = named(new QCheckBox(QStringLiteral("Phone %1").arg(i + 1), sms), phoneBoxes[i]);
        m_txtPhone[i] = named(new QLineEdit(sms), phoneNames[i]);
        smsGrid->addWidget(m_cbPhone[i], i, 0);
        smsGrid->addWidget(m_txtPhone[i], i, 1);
    }
    m_cbSendSMS = named(new QCheckBox(QStringLiteral("Send Data Via SMS"), sms), "cbSendSMS");
    m_sbSMSPeriod = named(new QSpinBox(sms), "sbSMSPeriod");
    m_sbSMSPeriod->setRange(0, 99); // two digits in the record
    smsGrid->addWidget(m_cbSendSMS, 3, 0);
    auto *periodRow = new QHBoxLayout;
    periodRow->addWidget(new QLabel(QStringLiteral("Period (hour)"), sms));
    periodRow->addWidget(m_sbSMSPeriod);
    smsGrid->addLayout(periodRow, 3, 1);
    m_cbAnswerSMS = named(new QCheckBox(QStringLiteral("Send answer to received SMS"), sms), "cbAnswerSMS");
    smsGrid->addWidget(m_cbAnswerSMS, 4, 0, 1, 2);
    grid->addWidget(sms, 0, 1);

    auto *listen = named(new QGroupBox(QStringLiteral("Listen"), area), "grpListen");
    auto *listenForm = new QHBoxLayout(listen);
    m_rbGSM = named(new QRadioButton(QStringLiteral("GSM"), listen), "rbGSM");
    m_rbGPRS = named(new QRadioButton(QStringLiteral("GPRS"), listen), "rbGPRS");
    m_groupListen = new QButtonGroup(this);
    m_groupListen->setObjectName(QStringLiteral("groupListen"));
    m_groupListen->addButton(m_rbGSM);
    m_groupListen->addButton(m_rbGPRS);
    m_sbListenPort = named(new QSpinBox(listen), "sbListenPort");
    m_sbListenPort->setRange(0, 65535);
    listenForm->addWidget(m_rbGSM);
    listenForm->addWidget(m_rbGPRS);
    listenForm->addWidget(new QLabel(QStringLiteral("TCP Port"), listen));
    listenForm->addWidget(m_sbListenPort, 1);
    grid->addWidget(listen, 1, 0);

    auto *server = named(new QGroupBox(QStringLiteral("Server"), area), "grpServer");
    auto *serverGrid = new QGridLayout(server);
    const char *hostNames[2] = {"txtServer1Host", "txtServer2Host"};
    const char *portNames[2] = {"sbServer1Port", "sbServer2Port"};
    const char *serverBoxes[2] = {"cbServer1", "cbServer2"};
    for (int i = 0; i < 2; ++i) {
        m_cbServer[i] = named(new QCheckBox(QStringLiteral("Server %1").arg(i + 1), server), serverBoxes[i]);
        m_txtServerHost[i] = named(new QLineEdit(server), hostNames[i]);
        m_sbServerPort[i] = named(new QSpinBox(server), portNames[i]);
        m_sbServerPort[i]->setRange(0, 65535);
        serverGrid->addWidget(m_cbServer[i], i, 0);
        serverGrid->addWidget(m_txtServerHost[i], i, 1);
        serverGrid->addWidget(m_sbServerPort[i], i, 2);
    }
    m_sbRemoteConnectionPeriod = named(new QSpinBox(server), "sbRemoteConnectionPeriod");
    m_sbRemoteConnectionPeriod->setRange(0, 99 * 60 + 59); // hours and minutes, two digits each
    serverGrid->addWidget(new QLabel(QStringLiteral("Connection Period (minute)"), server), 2, 0, 1, 2);
    serverGrid->addWidget(m_sbRemoteConnectionPeriod, 2, 2);
    grid->addWidget(server, 1, 1);
    return area;
}

void MainWindow::report(const QString &text)
{
    statusBar()->showMessage(text);
}

void MainWindow::refreshToolControls(bool connecting, bool connected)
{
    const bool usable = connected && !connecting && m_operation == Idle;
    m_actionRead->setEnabled(usable);
    // Loading over a form that was never filled from the modem would send
    // blanks: the modem would take them and could cut the station off.
    m_actionLoad->setEnabled(usable && m_parametersRead);
    m_parameters->setEnabled(usable);
}

void MainWindow::on_txtHost_returnPressed()
{
    m_actionConnect->setChecked(true);
    on_actionConnect_triggered();
}

void MainWindow::serialPortOpened()
{
    onConnectionEstablished();
}

void MainWindow::serialPortClosed()
{
    onConnectionLost();
}

void MainWindow::disconnectTcp()
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        // The modem may have dropped the line already (after a restart).
        onConnectionLost();
        return;
    }
    ConnectionWindow::disconnectTcp();
}

void MainWindow::onConnectionEstablished()
{
    ++m_link;
    m_buffer.clear();
    m_expectHangUp = false;
    m_parametersRead = false;
    m_answerTimer->stop();
    m_actionConnect->setIcon(QIcon(QStringLiteral(":/images/connect.png")));
    enterCommandModeAndRead();
    refreshControls();
    if (isConnected())
        report(QStringLiteral("Connected."));
}

void MainWindow::onConnectionLost()
{
    ++m_link;
    m_operation = Idle;
    m_buffer.clear();
    m_parametersRead = false;
    m_answerTimer->stop();
    m_actionConnect->setIcon(QIcon(QStringLiteral(":/images/disconnect.png")));
    m_actionConnect->setChecked(false);
    resetForm();
    report(QStringLiteral("Ready to connect."));
    refreshControls();
}

bool MainWindow::pause(int ms)
{
    const quint64 link = m_link;
    QPointer<MainWindow> self(this);
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return self && link == m_link && isConnected();
}

void MainWindow::enterCommandModeAndRead()
{
    m_operation = Idle;
    if (!pause(m_guardMs))
        return;
    QCoreApplication::processEvents();
    report(QStringLiteral("Changing status to command mode.."));
    send(QByteArrayLiteral("|||\r"));
    if (!pause(m_answerMs))
        return;
    on_actionRead_triggered();
}

void MainWindow::onTCPSocketConnected()
{
    onConnectionEstablished();
}

void MainWindow::onTCPSocketDisconnected()
{
    onConnectionLost();
}

void MainWindow::onTCPSocketError(QAbstractSocket::SocketError error)
{
    // After "RESET" the modem restarts and drops the line: that is no error.
    const bool expected = error == QAbstractSocket::RemoteHostClosedError && m_expectHangUp;
    const QString text = m_socket->errorString();
    onConnectionLost();
    if (!expected)
        m_questions->critical(this, QStringLiteral("Error"), text);
}

void MainWindow::onSerialPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    const QString text = m_serialPort->errorString();
    // A vanished device leaves the port useless; close it instead of pretending.
    if (error == QSerialPort::ResourceError && m_serialPort->isOpen()) {
        m_serialPort->close();
        onConnectionLost();
    }
    m_questions->critical(this, QStringLiteral("Error"), text);
    refreshControls();
}

void MainWindow::on_actionRead_triggered()
{
    m_operation = ReadingParameters;
    report(QStringLiteral("Reading parameters"));
    sendCommand(QByteArrayLiteral("OKU\r"));
    refreshControls();
}

void MainWindow::on_actionLoad_triggered()
{
    if (!m_parametersRead)
        return;
    const ModemParameters p = formParameters();
    if (cutsStationOff(p) &&
        m_questions->question(this, QStringLiteral("Parameters"),
                              QStringLiteral("The new parameters have no phone number, no server and a "
                                             "connection period of 0: the modem will report to no one and "
                                             "cannot be reached until someone visits the station.\n\n"
                                             "Load them anyway?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        report(QStringLiteral("Parameters not loaded."));
        return;
    }
    report(QStringLiteral("Sending new parameters.."));
    sendCommand(buildParameterRecord(p));
    m_operation = LoadingParameters;
    refreshControls();
}

void MainWindow::sendCommand(const QByteArray &command)
{
    send(command);
    m_answerTimer->start();
}

void MainWindow::commandFailed(const QString &status, const QString &message)
{
    m_answerTimer->stop();
    m_operation = Idle;
    m_buffer.clear();
    refreshControls();
    report(status);
    m_questions->critical(this, QStringLiteral("Error"), message);
}

void MainWindow::onAnswerTimeout()
{
    switch (m_operation) {
    case ReadingParameters:
        commandFailed(QStringLiteral("Reading parameters failed: no answer."),
                      QStringLiteral("The modem did not send its parameters in time.\n\nRead them again "
                                     "before loading new ones."));
        break;
    case LoadingParameters:
        commandFailed(QStringLiteral("Loading parameters failed: no answer."),
                      QStringLiteral("The modem did not answer the new parameters in time. Read the "
                                     "parameters to see what it holds."));
        break;
    case Restarting:
        commandFailed(QStringLiteral("Restart not confirmed."),
                      QStringLiteral("The modem did not confirm its restart in time."));
        break;
    default:
        break;
    }
}

void MainWindow::onCheckBuffer()
{
    // An answer ends with a carriage return; a slow link delivers it in
    // pieces, which are collected until it is complete.
    for (QByteArray answer = takeAnswer(&m_buffer); !answer.isEmpty(); answer = takeAnswer(&m_buffer))
        handleAnswer(answer);
    // Nothing the modem says is this long: drop noise instead of hoarding it.
    if (m_buffer.size() > 4096)
        m_buffer.clear();
}

void MainWindow::handleAnswer(const QByteArray &answer)
{
    qCDebug(lcModem, "Answer: %s", answer.toHex().constData());
    switch (m_operation) {
    case ReadingParameters:
        handleParameterAnswer(answer);
        break;
    case LoadingParameters:
        handleLoadAnswer(answer);
        break;
    case Restarting:
        handleRestartAnswer(answer);
        break;
    default:
        break;
    }
}

void MainWindow::handleParameterAnswer(const QByteArray &answer)
{
    // The modem's late "OK" to the switch to command mode is no answer to the read.
    if (answer == "OK\r")
        return;
    ModemParameters p;
    if (!parseParameterAnswer(answer, &p)) {
        commandFailed(QStringLiteral("Reading parameters failed: unreadable answer."),
                      QStringLiteral("The modem's parameters could not be read (incomplete or damaged "
                                     "answer).\n\nRead them again before loading new ones."));
        return;
    }
    m_answerTimer->stop();
    m_parametersRead = true;
    showParameters(p);
    // Filling the form switched fields on, and each took the selection as
    // if the user had ticked its box; only the APN keeps it.
    for (QLineEdit *edit : m_parameters->findChildren<QLineEdit *>())
        edit->deselect();
    m_operation = Idle;
    refreshControls();
    // Only once the area is enabled again can the field take the focus.
    m_txtAPNName->selectAll();
    m_txtAPNName->setFocus();
    report(QStringLiteral("Connected."));
}

void MainWindow::handleLoadAnswer(const QByteArray &answer)
{
    if (answer.startsWith("TYUK")) {
        report(QStringLiteral("Restarting modem."));
        m_operation = Restarting;
        m_expectHangUp = true;
        report(QStringLiteral("Restarting modem.."));
        sendCommand(QByteArrayLiteral("GSR\r"));
        refreshControls();
        return;
    }
    // Back to idle so that the user can read or load again.
    m_answerTimer->stop();
    m_operation = Idle;
    refreshControls();
    m_questions->critical(this, QStringLiteral("Error"), QStringLiteral("Parameters Load operation fail!"));
}

void MainWindow::handleRestartAnswer(const QByteArray &answer)
{
    if (!answer.startsWith("RESET"))
        return;
    m_answerTimer->stop();
    m_questions->information(
        this, QStringLiteral("Parameters"),
        QStringLiteral(
            "New parameters loaded to modem.\n\nModem restarted. You can reconnect a few minutes later."));
    m_actionConnect->setChecked(false);
    on_actionConnect_triggered();
}

void MainWindow::resetForm()
{
    m_txtFirmware->setText(QLatin1String(na));
    m_txtSerialNo->setText(QLatin1String(na));
    for (QLineEdit *edit : {m_txtAPNName, m_txtUserName, m_txtPassword, m_txtPhone[0], m_txtPhone[1],
                            m_txtPhone[2], m_txtServerHost[0], m_txtServerHost[1]})
        edit->clear();
    for (QSpinBox *box :
         {m_sbSMSPeriod, m_sbListenPort, m_sbServerPort[0], m_sbServerPort[1], m_sbRemoteConnectionPeriod})
        box->setValue(0);
    for (QCheckBox *box :
         {m_cbPhone[0], m_cbPhone[1], m_cbPhone[2], m_cbSendSMS, m_cbAnswerSMS, m_cbServer[0], m_cbServer[1]})
        box->setChecked(false);
    m_groupListen->setExclusive(false);
    m_rbGSM->setChecked(false);
    m_rbGPRS->setChecked(false);
    m_groupListen->setExclusive(true);
    for (QWidget *w : {static_cast<QWidget *>(m_txtPhone[0]), static_cast<QWidget *>(m_txtPhone[1]),
                       static_cast<QWidget *>(m_txtPhone[2]), static_cast<QWidget *>(m_sbSMSPeriod),
                       static_cast<QWidget *>(m_sbListenPort), static_cast<QWidget *>(m_txtServerHost[0]),
                       static_cast<QWidget *>(m_sbServerPort[0]), static_cast<QWidget *>(m_txtServerHost[1]),
                       static_cast<QWidget *>(m_sbServerPort[1])})
        w->setEnabled(false);
}

void MainWindow::showParameters(const ModemParameters &p)
{
    m_txtSerialNo->setText(p.serialNo);
    m_txtFirmware->setText(p.firmware);
    for (int i = 0; i < 3; ++i) {
        m_txtPhone[i]->setText(p.phones[i]);
        m_cbPhone[i]->setChecked(p.phoneEnabled[i]);
    }
    for (int i = 0; i < 2; ++i) {
        m_txtServerHost[i]->setText(p.serverHosts[i]);
        m_sbServerPort[i]->setValue(p.serverPorts[i]);
        m_cbServer[i]->setChecked(p.serverEnabled[i]);
    }
    m_txtAPNName->setText(p.apn);
    m_txtUserName->setText(p.userName);
    m_txtPassword->setText(p.password);
    m_cbAnswerSMS->setChecked(p.answerSms);
    QRadioButton *listen = p.gsm ? m_rbGSM : m_rbGPRS;
    listen->setChecked(true);
    onGroupListenToggled(listen, true);
    m_sbRemoteConnectionPeriod->setValue(p.connectionPeriod);
    m_sbListenPort->setValue(p.listenPort);
    m_sbSMSPeriod->setValue(p.smsPeriod);
    m_cbSendSMS->setChecked(p.sendSms);
}

ModemParameters MainWindow::formParameters() const
{
    ModemParameters p;
    for (int i = 0; i < 3; ++i) {
        p.phones[i] = m_txtPhone[i]->text();
        p.phoneEnabled[i] = m_cbPhone[i]->isChecked();
    }
    for (int i = 0; i < 2; ++i) {
        p.serverHosts[i] = m_txtServerHost[i]->text();
        p.serverPorts[i] = m_sbServerPort[i]->value();
        p.serverEnabled[i] = m_cbServer[i]->isChecked();
    }
    p.apn = m_txtAPNName->text();
    p.userName = m_txtUserName->text();
    p.password = m_txtPassword->text();
    p.gsm = m_rbGSM->isChecked();
    p.answerSms = m_cbAnswerSMS->isChecked();
    p.listenPort = m_sbListenPort->value();
    p.connectionPeriod = m_sbRemoteConnectionPeriod->value();
    p.smsPeriod = m_sbSMSPeriod->value();
    p.sendSms = m_cbSendSMS->isChecked();
    return p;
}

void MainWindow::onGroupListenToggled(QAbstractButton *button, bool checked)
{
    if (button == m_rbGSM)
        m_sbListenPort->setEnabled(!checked);
    else if (button == m_rbGPRS)
        enableField(m_sbListenPort, checked);
}

void MainWindow::on_cbPhone1_toggled(bool checked)
{
    enableField(m_txtPhone[0], checked);
}

void MainWindow::on_cbPhone2_toggled(bool checked)
{
    enableField(m_txtPhone[1], checked);
}

void MainWindow::on_cbPhone3_toggled(bool checked)
{
    enableField(m_txtPhone[2], checked);
}

void MainWindow::on_cbSendSMS_toggled(bool checked)
{
    enableField(m_sbSMSPeriod, checked);
}

void MainWindow::on_cbServer1_toggled(bool checked)
{
    enableField(m_txtServerHost[0], checked);
    m_sbServerPort[0]->setEnabled(checked);
}

void MainWindow::on_cbServer2_toggled(bool checked)
{
    enableField(m_txtServerHost[1], checked);
    m_sbServerPort[1]->setEnabled(checked);
}
