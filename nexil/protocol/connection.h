#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTcpSocket>

// The one place where the library touches a byte stream: wraps an open serial
// port or a connected TCP socket that the application owns, forwards received
// chunks and writes command frames. Knows nothing of frames or commands.
class Connection : public QObject
{
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);

    bool setSerialPort(QSerialPort *port);
    bool setTcpSocket(QTcpSocket *socket);
    void write(const QByteArray &data);
    // True when bytes have arrived that the event loop has not handed on yet.
    bool hasWaitingInput() const;
    void close();

    int type() const { return connectionType; }

signals:
    void error(QString errorString);
    void newData(QByteArray buffer);

private slots:
    void onSerialPortError(QSerialPort::SerialPortError err);
    void onSocketError(QAbstractSocket::SocketError err);
    void onSocketDisconnected();
    void onReadyRead();

private:
    void detachSerialPort();
    void detachTcpSocket();

    // Guarded: a device the application destroys while bound reads as null
    // instead of dangling. The socket is held by its base class because it
    // still signals from inside its base destructor.
    QPointer<QSerialPort> serialPort;
    QPointer<QAbstractSocket> tcpSocket;
    int connectionType = 0;
};
