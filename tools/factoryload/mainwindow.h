#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMainWindow>
#include <QSerialPort>

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTcpSocket;
class QToolBar;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // settingsFile: the INI file; empty means settings.ini next to the program.
    explicit MainWindow(const QString &settingsFile = QString(), QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString defaultSettingsFile();

signals:
    void checkBuffer();
    void newPackage(QByteArray data);

private slots:
    void onConnectionTypeChanged(QAction *action);
    void onReadyRead();
    void onSerialPortError(QSerialPort::SerialPortError error);
    void onTCPSocketConnected();
    void onTCPSocketDisconnected();
    void onTCPSocketError(QAbstractSocket::SocketError error);
    void onCheckBuffer();
    void onNewPackage(QByteArray data);
    void on_actionQuit_triggered();
    void on_actionConnect_triggered();
    void on_actionLoad_triggered();

private:
    void setupUi();
    void fillPortLists();
    void loadSettings();
    void saveSettings();
    void refreshControls();
    void log(const QString &line);
    void send(const QByteArray &bytes);
    bool serialMode() const;

    QString m_settingsFile;
    QSerialPort *m_serialPort = nullptr;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_buffer;
    QActionGroup *m_connectionGroup = nullptr;

    QAction *m_actionTCPIP = nullptr;
    QAction *m_actionSerialPort = nullptr;
    QAction *m_actionConnect = nullptr;
    QAction *m_actionLoad = nullptr;
    QFrame *m_frmTCPIP = nullptr;
    QFrame *m_frmSerialPort = nullptr;
    QLineEdit *m_txtHost = nullptr;
    QSpinBox *m_sbTCPPort = nullptr;
    QComboBox *m_cmbSerialPort = nullptr;
    QComboBox *m_cmbBaudrate = nullptr;
    QListWidget *m_listWidget = nullptr;
    QToolBar *m_mainToolBar = nullptr;
};
