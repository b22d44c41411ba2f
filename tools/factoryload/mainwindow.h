#pragma once

#include "connectionwindow.h"

class QListWidget;

class MainWindow : public ConnectionWindow
{
    Q_OBJECT

public:
    // settingsFile: the INI file; empty means settings.ini next to the program.
    explicit MainWindow(const QString &settingsFile = QString(), QWidget *parent = nullptr);

signals:
    void newPackage(QByteArray data);

private slots:
    void onNewPackage(QByteArray data);
    void on_actionLoad_triggered();

private:
    void setupUi();
    void report(const QString &line) override;
    void refreshToolControls(bool connecting, bool connected) override;
    void onCheckBuffer() override;
    void onTCPSocketConnected() override;
    void onTCPSocketDisconnected() override;
    void onTCPSocketError(QAbstractSocket::SocketError error) override;
    void onSerialPortError(QSerialPort::SerialPortError error) override;
    void serialPortOpened() override;
    void serialPortClosed() override;
    void traceReception(const QByteArray &bytes) override;

    QAction *m_actionLoad = nullptr;
    QListWidget *m_listWidget = nullptr;
};
