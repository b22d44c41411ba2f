#pragma once

#include "connectionwindow.h"
#include "modemparameters.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QRadioButton;
class QTimer;

class MainWindow : public ConnectionWindow
{
    Q_OBJECT

public:
    enum Operation { Idle = 0, ReadingParameters = 1, LoadingParameters = 2, Restarting = 3 };

    // settingsFile: the INI file; empty means settings.ini next to the program.
    explicit MainWindow(const QString &settingsFile = QString(), QWidget *parent = nullptr);

    // The pauses of the switch to command mode: the guard time before "|||"
    // and the time the modem takes to answer it.
    void setCommandModeDelays(int guardMs, int answerMs);
    // How long an answer may take before the command counts as failed.
    void setAnswerTimeout(int ms);
    int operation() const { return m_operation; }
    // A complete parameter answer was read on this connection; only then
    // can new parameters be loaded.
    bool parametersRead() const { return m_parametersRead; }

private slots:
    void onGroupListenToggled(QAbstractButton *button, bool checked);
    void on_actionRead_triggered();
    void on_actionLoad_triggered();
    void on_txtHost_returnPressed();
    void on_cbPhone1_toggled(bool checked);
    void on_cbPhone2_toggled(bool checked);
    void on_cbPhone3_toggled(bool checked);
    void on_cbSendSMS_toggled(bool checked);
    void on_cbServer1_toggled(bool checked);
    void on_cbServer2_toggled(bool checked);

private:
    void setupUi();
    QWidget *createParameterArea(QWidget *parent);
    void report(const QString &text) override;
    void refreshToolControls(bool connecting, bool connected) override;
    void onCheckBuffer() override;
    void onTCPSocketConnected() override;
    void onTCPSocketDisconnected() override;
    void onTCPSocketError(QAbstractSocket::SocketError error) override;
    void onSerialPortError(QSerialPort::SerialPortError error) override;
    void serialPortOpened() override;
    void serialPortClosed() override;
    void disconnectTcp() override;

    void onConnectionEstablished();
    void onConnectionLost();
    void enterCommandModeAndRead();
    // Waits with the window closed to input; false when the link went down meanwhile.
    bool pause(int ms);
    void resetForm();
    void showParameters(const ModemParameters &p);
    ModemParameters formParameters() const;
    void handleAnswer(const QByteArray &answer);
    void sendCommand(const QByteArray &command);
    void onAnswerTimeout();
    void commandFailed(const QString &status, const QString &message);
    void handleParameterAnswer(const QByteArray &answer);
    void handleLoadAnswer(const QByteArray &answer);
    void handleRestartAnswer(const QByteArray &answer);

    int m_operation = Idle;
    int m_guardMs = 3000;
    int m_answerMs = 2000;
    quint64 m_link = 0;          // counts connections, so a wait can tell its link is gone
    bool m_expectHangUp = false; // the modem was told to restart
    bool m_parametersRead = false;
    QTimer *m_answerTimer = nullptr;

    QAction *m_actionRead = nullptr;
    QAction *m_actionLoad = nullptr;

    QWidget *m_parameters = nullptr;
    QLabel *m_txtFirmware = nullptr;
    QLabel *m_txtSerialNo = nullptr;
    QLineEdit *m_txtAPNName = nullptr;
    QLineEdit *m_txtUserName = nullptr;
    QLineEdit *m_txtPassword = nullptr;
    QLineEdit *m_txtPhone[3] = {};
    QCheckBox *m_cbPhone[3] = {};
    QCheckBox *m_cbSendSMS = nullptr;
    QSpinBox *m_sbSMSPeriod = nullptr;
    QCheckBox *m_cbAnswerSMS = nullptr;
    QRadioButton *m_rbGSM = nullptr;
    QRadioButton *m_rbGPRS = nullptr;
    QButtonGroup *m_groupListen = nullptr;
    QSpinBox *m_sbListenPort = nullptr;
    QLineEdit *m_txtServerHost[2] = {};
    QSpinBox *m_sbServerPort[2] = {};
    QCheckBox *m_cbServer[2] = {};
    QSpinBox *m_sbRemoteConnectionPeriod = nullptr;
};
