#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QSerialPort>

#include "questions.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLineEdit;
class QSpinBox;
class QTcpSocket;
class QToolBar;
class QVBoxLayout;

// The main window of a device tool: the TCP/serial connection shell around
// the tool's own controls. The tool builds its window with setupShell(),
// then calls setupConnection(), and answers the hooks below.
class ConnectionWindow : public QMainWindow
{
    Q_OBJECT

public:
    // settingsFile: the INI file; empty means settings.ini next to the program.
    explicit ConnectionWindow(const QString &settingsFile = QString(), QWidget *parent = nullptr);
    ~ConnectionWindow() override;

    static QString defaultSettingsFile();

    // Where the window's message boxes go (the real dialogs by default).
    void setQuestions(Questions *questions) { m_questions = questions; }

signals:
    void checkBuffer();

private slots:
    void on_actionQuit_triggered();

protected slots:
    void on_actionConnect_triggered();

protected:
    QAction *makeAction(const char *name, const QString &text, const QString &toolTip, const QString &icon);
    // Menu, tool bar, status bar and connection frames around toolActions;
    // returns the central layout for the tool's own widgets.
    QVBoxLayout *setupShell(const QList<QAction *> &toolActions);
    // The connection type group, the devices, the port lists and the stored settings.
    void setupConnection();

    void refreshControls();
    void send(const QByteArray &bytes);
    bool serialMode() const;
    bool isConnected() const;

    virtual void report(const QString &text) = 0;
    // The tool's own controls, after the shell's; connecting excludes connected.
    virtual void refreshToolControls(bool connecting, bool connected) = 0;
    virtual void onCheckBuffer() = 0;
    virtual void onTCPSocketConnected() = 0;
    virtual void onTCPSocketDisconnected() = 0;
    virtual void onTCPSocketError(QAbstractSocket::SocketError error) = 0;
    virtual void onSerialPortError(QSerialPort::SerialPortError error) = 0;
    // Each ends with the controls refreshed.
    virtual void serialPortOpened() = 0;
    virtual void serialPortClosed() = 0;
    virtual void disconnectTcp();
    virtual void traceReception(const QByteArray &bytes);

    Questions *m_questions = Questions::dialogs();
    QSerialPort *m_serialPort = nullptr;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_buffer;

    QAction *m_actionTCPIP = nullptr;
    QAction *m_actionSerialPort = nullptr;
    QAction *m_actionConnect = nullptr;
    QToolBar *m_mainToolBar = nullptr;
    QFrame *m_frmTCPIP = nullptr;
    QFrame *m_frmSerialPort = nullptr;
    QLineEdit *m_txtHost = nullptr;
    QSpinBox *m_sbTCPPort = nullptr;
    QComboBox *m_cmbSerialPort = nullptr;
    QComboBox *m_cmbBaudrate = nullptr;

private:
    void onConnectionTypeChanged(QAction *action);
    void onReadyRead();
    void connectTcp();
    void openSerialPort();
    void fillPortLists();
    void loadSettings();
    void saveSettings();

    QString m_settingsFile;
    QActionGroup *m_connectionGroup = nullptr;
};
