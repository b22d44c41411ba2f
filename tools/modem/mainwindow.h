#pragma once

#include "modemparameters.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QMainWindow>
#include <QSerialPort>

class QAbstractButton;
class QAction;
class QActionGroup;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTcpSocket;
class QToolBar;
class QWidget;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum Operation { Idle = 0, ReadingParameters = 1, LoadingParameters = 2, Restarting = 3 };

    // settingsFile: the INI file; empty means settings.ini next to the program.
    explicit MainWindow(const QString &settingsFile = QString(), QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString defaultSettingsFile();

    // The pauses of the switch to command mode: the guard time before "|||"
    // and the time the modem takes to answer it.
    void setCommandModeDelays(int guardMs, int answerMs);
    int operation() const { return m_operation; }

signals:
    void checkBuffer();

private slots:
    void onConnectionTypeChanged(QAction *action);
    void onReadyRead();
    void onSerialPortError(QSerialPort::SerialPortError error);
    void onTCPSocketConnected();
    void onTCPSocketDisconnected();
    void onTCPSocketError(QAbstractSocket::SocketError error);
    void onCheckBuffer();
    void onGroupListenToggled(QAbstractButton *button, bool checked);
    void on_actionQuit_triggered();
    void on_actionConnect_triggered();
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
    void fillPortLists();
    void loadSettings();
    void saveSettings();
    void refreshControls();
    void status(const QString &text);
    void send(const QByteArray &bytes);
    bool serialMode() const;
    bool isConnected() const;

    void onConnectionEstablished();
    void onConnectionLost();
    void enterCommandModeAndRead();
    // Waits with the window closed to input; false when the link went down meanwhile.
    bool pause(int ms);
    void resetForm();
    void showParameters(const ModemParameters &p);
    ModemParameters formParameters() const;
    void handleParameterAnswer(const QByteArray &answer);
    void handleLoadAnswer(const QByteArray &answer);
    void handleRestartAnswer(const QByteArray &answer);

    QString m_settingsFile;
    QSerialPort *m_serialPort = nullptr;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_buffer;
    QActionGroup *m_connectionGroup = nullptr;
    int m_operation = Idle;
    int m_guardMs = 3000;
    int m_answerMs = 2000;
    quint64 m_link = 0;          // counts connections, so a wait can tell its link is gone
    bool m_expectHangUp = false; // the modem was told to restart

    QAction *m_actionTCPIP = nullptr;
    QAction *m_actionSerialPort = nullptr;
    QAction *m_actionConnect = nullptr;
    QAction *m_actionRead = nullptr;
    QAction *m_actionLoad = nullptr;
    QToolBar *m_mainToolBar = nullptr;
    QFrame *m_frmTCPIP = nullptr;
    QFrame *m_frmSerialPort = nullptr;
    QLineEdit *m_txtHost = nullptr;
    QSpinBox *m_sbTCPPort = nullptr;
    QComboBox *m_cmbSerialPort = nullptr;
    QComboBox *m_cmbBaudrate = nullptr;

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
