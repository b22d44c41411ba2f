#include "mainwindow.h"

#include "factoryframe.h"

#include <QAction>
#include <QDebug>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QTcpSocket>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcFactoryLoad, "tools.factoryload", QtInfoMsg)

static void initResources()
{
    Q_INIT_RESOURCE(factoryload);
}

MainWindow::MainWindow(const QString &settingsFile, QWidget *parent) : ConnectionWindow(settingsFile, parent)
{
    initResources();
    setupUi();
    connect(this, &MainWindow::newPackage, this, &MainWindow::onNewPackage);
    setupConnection();
    refreshControls();
}

void MainWindow::setupUi()
{
    setWindowTitle(QStringLiteral("Load Factory Settings"));
    resize(600, 400);

    m_actionLoad = makeAction("actionLoad", QStringLiteral("Load Factory Settings"),
                              QStringLiteral("Load Factory Settings"), QStringLiteral(":/images/load.png"));
    QAction *actionHelp = makeAction("actionHelp", QStringLiteral("Help"), QStringLiteral("Help"),
                                     QStringLiteral(":/images/help.png"));
    QAction *actionAbout = makeAction("actionAbout", QStringLiteral("About"), QStringLiteral("About"),
                                      QStringLiteral(":/images/about.png"));
    QVBoxLayout *layout = setupShell({m_actionLoad});

    QMenu *menuHelp = menuBar()->addMenu(QStringLiteral("Help"));
    menuHelp->setObjectName(QStringLiteral("menuHelp"));
    menuHelp->addAction(actionHelp);
    menuHelp->addAction(actionAbout);

    m_listWidget = new QListWidget(centralWidget());
    m_listWidget->setObjectName(QStringLiteral("listWidget"));
    layout->addWidget(m_listWidget, 1);

    QMetaObject::connectSlotsByName(this);
}

void MainWindow::report(const QString &line)
{
    m_listWidget->addItem(line);
    m_listWidget->scrollToBottom();
}

void MainWindow::refreshToolControls(bool connecting, bool connected)
{
    if (!connecting)
        m_actionLoad->setEnabled(connected);
}

void MainWindow::onTCPSocketConnected()
{
    report(QStringLiteral("Connected."));
    m_actionConnect->setIcon(QIcon(QStringLiteral(":/images/connect.png")));
    refreshControls();
}

void MainWindow::onTCPSocketDisconnected()
{
    report(QStringLiteral("Disconnected."));
    m_actionConnect->setIcon(QIcon(QStringLiteral(":/images/disconnect.png")));
    // Lost by the far end too: the next click must connect, not disconnect.
    m_actionConnect->setChecked(false);
    refreshControls();
}

void MainWindow::onTCPSocketError(QAbstractSocket::SocketError error)
{
    report(QStringLiteral("Error: %1").arg(m_socket->errorString()));
    if (error == QAbstractSocket::RemoteHostClosedError)
        onTCPSocketDisconnected();
    else if (m_socket->state() == QAbstractSocket::UnconnectedState)
        m_actionConnect->setChecked(false);
    refreshControls();
}

void MainWindow::onSerialPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    report(QStringLiteral("Error: %1").arg(m_serialPort->errorString()));
    // A vanished device leaves the port useless; close it instead of pretending.
    if (error == QSerialPort::ResourceError && m_serialPort->isOpen()) {
        m_serialPort->close();
        m_actionConnect->setIcon(QIcon(QStringLiteral(":/images/disconnect.png")));
        m_actionConnect->setChecked(false);
    }
    refreshControls();
}

void MainWindow::on_actionLoad_triggered()
{
    // One click would otherwise wipe a logger's whole configuration.
    if (m_questions->question(this, QStringLiteral("Load Factory Settings"),
                              QStringLiteral("Every setting of the connected device (station, channels, "
                                             "calibrations, alarms and password) will be replaced by its "
                                             "factory settings.\n\nLoad the factory settings?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        report(QStringLiteral("Factory settings not loaded."));
        return;
    }
    report(QStringLiteral("Loading factory settings.."));
    send(factoryCommand());
    refreshControls();
}

void MainWindow::serialPortOpened()
{
    m_actionConnect->setIcon(QIcon(QStringLiteral(":/images/connect.png")));
    report(QStringLiteral("Serial port is open."));
    refreshControls();
}

void MainWindow::serialPortClosed()
{
    m_actionConnect->setIcon(QIcon(QStringLiteral(":/images/disconnect.png")));
    report(QStringLiteral("Serial port is closed"));
    refreshControls();
}

void MainWindow::traceReception(const QByteArray &bytes)
{
    qCDebug(lcFactoryLoad, "Size: %d Body: %s", int(bytes.size()), bytes.toHex().constData());
}

void MainWindow::onCheckBuffer()
{
    switch (checkFrame(m_buffer)) {
    case FrameCheck::NeedMore:
        return;
    case FrameCheck::Discard:
        m_buffer.clear();
        return;
    case FrameCheck::Complete: {
        // Empty the buffer before handing the frame on: the handler may run
        // the event loop, and bytes arriving then belong to the next answer.
        const QByteArray frame = m_buffer;
        m_buffer.clear();
        emit newPackage(frame);
        return;
    }
    }
}

void MainWindow::onNewPackage(QByteArray data)
{
    qCDebug(lcFactoryLoad, "Result: %s", data.constData());
    switch (classifyAnswer(data)) {
    case FactoryAnswer::CrcError:
        report(QStringLiteral("CRC error: the device received a damaged command (CRCHata)."));
        break;
    case FactoryAnswer::WrongPassword:
        report(QStringLiteral("Wrong password: the device refused the factory settings (SYANLIS)."));
        break;
    case FactoryAnswer::Loaded:
        report(QStringLiteral("Factory settings loaded (YUKLENDI)."));
        m_actionConnect->setChecked(false);
        on_actionConnect_triggered();
        break;
    case FactoryAnswer::None:
        break;
    }
}
