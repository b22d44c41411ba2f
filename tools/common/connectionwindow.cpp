#include "connectionwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTcpSocket>
#include <QToolBar>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcConnection, "tools.connection", QtInfoMsg)

ConnectionWindow::ConnectionWindow(const QString &settingsFile, QWidget *parent)
    : QMainWindow(parent), m_settingsFile(settingsFile.isEmpty() ? defaultSettingsFile() : settingsFile)
{
}

ConnectionWindow::~ConnectionWindow()
{
    saveSettings();
    // Quiet the devices before the widgets their slots touch go away.
    m_socket->disconnect(this);
    m_serialPort->disconnect(this);
    m_socket->abort();
    m_serialPort->close();
}

QString ConnectionWindow::defaultSettingsFile()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("settings.ini"));
}

QAction *ConnectionWindow::makeAction(const char *name, const QString &text, const QString &toolTip,
                                      const QString &icon)
{
    auto *action = new QAction(QIcon(icon), text, this);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(toolTip);
    return action;
}

QVBoxLayout *ConnectionWindow::setupShell(const QList<QAction *> &toolActions)
{
    m_actionTCPIP = makeAction("actionTCPIP", QStringLiteral("TCP/IP"), QStringLiteral("TCP/IP Connection"),
                               QStringLiteral(":/images/tcpip.png"));
    m_actionSerialPort =
        makeAction("actionSerialPort", QStringLiteral("SerialPort"), QStringLiteral("Serial Port Connection"),
                   QStringLiteral(":/images/serialport.png"));
    m_actionConnect =
        makeAction("actionConnect", QStringLiteral("Connect"), QStringLiteral("Connect to device"),
                   QStringLiteral(":/images/disconnect.png"));
    QAction *actionQuit = makeAction("actionQuit", QStringLiteral("Quit"), QStringLiteral("Quit"),
                                     QStringLiteral(":/images/quit.png"));
    m_actionTCPIP->setCheckable(true);
    m_actionSerialPort->setCheckable(true);
    m_actionConnect->setCheckable(true);

    QMenu *menuActions = menuBar()->addMenu(QStringLiteral("Actions"));
    menuActions->setObjectName(QStringLiteral("menuActions"));
    m_mainToolBar = new QToolBar(this);
    m_mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    // The menu and the tool bar offer the same actions, in the same order.
    auto fill = [&](auto *bar) {
        bar->addAction(m_actionTCPIP);
        bar->addAction(m_actionSerialPort);
        bar->addSeparator();
        bar->addAction(m_actionConnect);
        bar->addActions(toolActions);
        bar->addSeparator();
        bar->addAction(actionQuit);
    };
    fill(menuActions);
    fill(m_mainToolBar);
    addToolBar(Qt::TopToolBarArea, m_mainToolBar);

    auto *statusBarWidget = new QStatusBar(this);
    statusBarWidget->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(statusBarWidget);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto *layout = new QVBoxLayout(central);

    m_frmTCPIP = new QFrame(central);
    m_frmTCPIP->setObjectName(QStringLiteral("frmTCPIP"));
    auto *tcpLayout = new QHBoxLayout(m_frmTCPIP);
    m_txtHost = new QLineEdit(m_frmTCPIP);
    m_txtHost->setObjectName(QStringLiteral("txtHost"));
    m_sbTCPPort = new QSpinBox(m_frmTCPIP);
    m_sbTCPPort->setObjectName(QStringLiteral("sbTCPPort"));
    m_sbTCPPort->setRange(1, 65535);
    tcpLayout->addWidget(new QLabel(QStringLiteral("Host"), m_frmTCPIP));
    tcpLayout->addWidget(m_txtHost, 1);
    tcpLayout->addWidget(new QLabel(QStringLiteral("Port"), m_frmTCPIP));
    tcpLayout->addWidget(m_sbTCPPort);
    layout->addWidget(m_frmTCPIP);

    m_frmSerialPort = new QFrame(central);
    m_frmSerialPort->setObjectName(QStringLiteral("frmSerialPort"));
    auto *serialLayout = new QHBoxLayout(m_frmSerialPort);
    m_cmbSerialPort = new QComboBox(m_frmSerialPort);
    m_cmbSerialPort->setObjectName(QStringLiteral("cmbSerialPort"));
    m_cmbBaudrate = new QComboBox(m_frmSerialPort);
    m_cmbBaudrate->setObjectName(QStringLiteral("cmbBaudrate"));
    serialLayout->addWidget(new QLabel(QStringLiteral("Port"), m_frmSerialPort));
    serialLayout->addWidget(m_cmbSerialPort, 1);
    serialLayout->addWidget(new QLabel(QStringLiteral("Baudrate"), m_frmSerialPort));
    serialLayout->addWidget(m_cmbBaudrate);
    layout->addWidget(m_frmSerialPort);

    setCentralWidget(central);
    return layout;
}

void ConnectionWindow::setupConnection()
{
    m_actionTCPIP->setChecked(true);
    m_actionSerialPort->setChecked(false);
    m_frmTCPIP->show();
    m_frmSerialPort->hide();
    m_connectionGroup = new QActionGroup(this);
    m_connectionGroup->setExclusive(true);
    m_connectionGroup->addAction(m_actionTCPIP);
    m_connectionGroup->addAction(m_actionSerialPort);
    connect(m_connectionGroup, &QActionGroup::triggered, this, &ConnectionWindow::onConnectionTypeChanged);

    m_serialPort = new QSerialPort(this);
    connect(m_serialPort, &QSerialPort::readyRead, this, &ConnectionWindow::onReadyRead);
    connect(m_serialPort, &QSerialPort::errorOccurred, this, &ConnectionWindow::onSerialPortError);
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &ConnectionWindow::onReadyRead);
    connect(m_socket, &QTcpSocket::connected, this, &ConnectionWindow::onTCPSocketConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &ConnectionWindow::onTCPSocketDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ConnectionWindow::onTCPSocketError);

    // Queued: answers are handled outside readyRead, which the sockets do not
    // emit again while a slot of theirs is still running (message boxes, event
    // processing), so a quick follow-up answer would otherwise go unread.
    connect(this, &ConnectionWindow::checkBuffer, this, &ConnectionWindow::onCheckBuffer,
            Qt::QueuedConnection);

    fillPortLists();
    loadSettings();
}

void ConnectionWindow::fillPortLists()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        m_cmbSerialPort->addItem(QStringLiteral("%1 (%2)").arg(info.portName(), info.description()),
                                 info.portName());
    const QList<qint32> rates = QSerialPortInfo::standardBaudRates();
    for (qint32 rate : rates)
        m_cmbBaudrate->addItem(QString::number(rate), rate);
}

void ConnectionWindow::loadSettings()
{
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    if (settings.value(QStringLiteral("MLFL/connectionType"), 0).toInt() == 0) {
        m_actionTCPIP->setChecked(true);
        onConnectionTypeChanged(m_actionTCPIP);
    } else {
        m_actionSerialPort->setChecked(true);
        onConnectionTypeChanged(m_actionSerialPort);
    }
    m_txtHost->setText(settings.value(QStringLiteral("MLFL/host")).toString());
    m_sbTCPPort->setValue(settings.value(QStringLiteral("MLFL/tcpPort"), 4380).toInt());

    const QString port = settings.value(QStringLiteral("MLFL/serialPort")).toString();
    const int portIndex =
        m_cmbSerialPort->findData(port, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (portIndex >= 0)
        m_cmbSerialPort->setCurrentIndex(portIndex);
    const int baud = settings.value(QStringLiteral("MLFL/baudrate"), 115200).toInt();
    const int baudIndex = m_cmbBaudrate->findData(baud);
    if (baudIndex >= 0)
        m_cmbBaudrate->setCurrentIndex(baudIndex);
}

void ConnectionWindow::saveSettings()
{
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.setValue(QStringLiteral("MLFL/connectionType"), m_actionSerialPort->isChecked() ? 1 : 0);
    settings.setValue(QStringLiteral("MLFL/host"), m_txtHost->text().simplified());
    settings.setValue(QStringLiteral("MLFL/tcpPort"), m_sbTCPPort->value());
    settings.setValue(QStringLiteral("MLFL/serialPort"), m_cmbSerialPort->currentData().toString());
    settings.setValue(QStringLiteral("MLFL/baudrate"), m_cmbBaudrate->currentData().toInt());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcConnection, "Cannot write settings to %s", qPrintable(m_settingsFile));
}

bool ConnectionWindow::serialMode() const
{
    return m_actionSerialPort->isChecked();
}

bool ConnectionWindow::isConnected() const
{
    return serialMode() ? m_serialPort->isOpen() : m_socket->state() == QAbstractSocket::ConnectedState;
}

void ConnectionWindow::onConnectionTypeChanged(QAction *action)
{
    const bool tcp = action == m_actionTCPIP;
    m_frmTCPIP->setVisible(tcp);
    m_frmSerialPort->setVisible(!tcp);
}

void ConnectionWindow::refreshControls()
{
    const QAbstractSocket::SocketState state = m_socket->state();
    const bool connecting = !serialMode() && (state == QAbstractSocket::HostLookupState ||
                                              state == QAbstractSocket::ConnectingState);
    const bool connected = isConnected();

    if (connecting) {
        menuBar()->setEnabled(false);
        m_mainToolBar->setEnabled(false);
        m_frmTCPIP->setEnabled(false);
        m_frmSerialPort->setEnabled(false);
        m_actionConnect->setToolTip(QString());
    } else if (connected) {
        menuBar()->setEnabled(true);
        m_mainToolBar->setEnabled(true);
        m_actionTCPIP->setEnabled(false);
        m_actionSerialPort->setEnabled(false);
        m_frmTCPIP->setEnabled(false);
        m_frmSerialPort->setEnabled(false);
        m_actionConnect->setToolTip(QStringLiteral("Disconnect from device"));
    } else {
        menuBar()->setEnabled(true);
        m_mainToolBar->setEnabled(true);
        m_actionTCPIP->setEnabled(true);
        m_actionSerialPort->setEnabled(true);
        m_frmTCPIP->setEnabled(true);
        m_frmSerialPort->setEnabled(true);
        m_actionConnect->setToolTip(QStringLiteral("Connect to device"));
    }
    refreshToolControls(connecting, connected);
    QCoreApplication::processEvents();
}

void ConnectionWindow::on_actionConnect_triggered()
{
    if (m_actionConnect->isChecked()) {
        if (serialMode())
            openSerialPort();
        else
            connectTcp();
    } else if (serialMode()) {
        report(QStringLiteral("Closing serial port.."));
        m_serialPort->close();
        serialPortClosed();
    } else {
        disconnectTcp();
    }
}

void ConnectionWindow::connectTcp()
{
    const QString host = m_txtHost->text().simplified();
    if (host.isEmpty()) {
        m_questions->critical(this, QStringLiteral("Connection Error"),
                              QStringLiteral("Please type a correct host address."));
        m_txtHost->selectAll();
        m_txtHost->setFocus();
        m_actionConnect->setChecked(false);
        refreshControls();
        return;
    }
    report(QStringLiteral("Connecting.."));
    m_socket->connectToHost(host, quint16(m_sbTCPPort->value()), QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
    refreshControls();
    QCoreApplication::processEvents();
    refreshControls();
}

void ConnectionWindow::openSerialPort()
{
    report(QStringLiteral("Opening serial port.."));
    m_serialPort->setPortName(m_cmbSerialPort->currentData().toString());
    m_serialPort->setBaudRate(m_cmbBaudrate->currentData().toInt(), QSerialPort::AllDirections);
    if (!m_serialPort->open(QIODevice::ReadWrite)) {
        report(m_serialPort->errorString());
        m_actionConnect->setChecked(false);
        refreshControls();
        return;
    }
    serialPortOpened();
}

void ConnectionWindow::disconnectTcp()
{
    report(QStringLiteral("Disconnecting.."));
    m_socket->disconnectFromHost();
    refreshControls();
}

void ConnectionWindow::send(const QByteArray &bytes)
{
    if (serialMode()) {
        m_serialPort->write(bytes);
        m_serialPort->flush();
    } else {
        m_socket->write(bytes);
        m_socket->flush();
    }
}

void ConnectionWindow::traceReception(const QByteArray &) {}

void ConnectionWindow::onReadyRead()
{
    const QByteArray bytes = serialMode() ? m_serialPort->readAll() : m_socket->readAll();
    traceReception(bytes);
    m_buffer.append(bytes);
    emit checkBuffer();
}

void ConnectionWindow::on_actionQuit_triggered()
{
    close();
}
