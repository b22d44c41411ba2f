#include "connection.h"

#include <QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

Connection::Connection(QObject *parent) : QObject(parent) {}

static bool isConnected(const QAbstractSocket *socket)
{
    return socket && socket->state() == QAbstractSocket::ConnectedState;
}

static bool isOpen(const QSerialPort *port)
{
    return port && port->isOpen();
}

void Connection::detachSerialPort()
{
    if (serialPort)
        disconnect(serialPort, nullptr, this, nullptr);
    serialPort = nullptr;
}

void Connection::detachTcpSocket()
{
    if (tcpSocket)
        disconnect(tcpSocket, nullptr, this, nullptr);
    tcpSocket = nullptr;
}

bool Connection::setSerialPort(QSerialPort *port)
{
    if (isConnected(tcpSocket)) {
        emit error(tr("Bir TCP Soket bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz."));
        return false;
    }
    if (isOpen(serialPort)) {
        emit error(tr("Bir seri port bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz."));
        return false;
    }
    if (!isOpen(port)) {
        emit error(tr("Seri port bağlı değil. Önce bağlantı kurmalısınız."));
        return false;
    }
    // A previously bound port of the same kind is let go too, so its signals
    // never reach this object twice.
    detachSerialPort();
    detachTcpSocket();
    serialPort = port;
    connect(port, &QSerialPort::errorOccurred, this, &Connection::onSerialPortError);
    connect(port, &QSerialPort::readyRead, this, &Connection::onReadyRead);
    connectionType = 1;
    return true;
}

bool Connection::setTcpSocket(QTcpSocket *socket)
{
    if (isOpen(serialPort)) {
        emit error(tr("Seri port bağlantısı zaten kullanılıyor. Önce diğer bağlantıyı kesmelisiniz."));
        return false;
    }
    if (isConnected(tcpSocket)) {
        emit error(tr("Bir TCP Soket bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz."));
        return false;
    }
    if (!isConnected(socket)) {
        emit error(tr("TCP Soket bağlantısı açık değil. Önce bağlantıyı kurmalısınız."));
        return false;
    }
    detachTcpSocket();
    detachSerialPort();
    tcpSocket = socket;
    connect(socket, &QAbstractSocket::errorOccurred, this, &Connection::onSocketError);
    connect(socket, &QAbstractSocket::disconnected, this, &Connection::onSocketDisconnected);
    connect(socket, &QIODevice::readyRead, this, &Connection::onReadyRead);
    connectionType = 2;
    return true;
}

void Connection::write(const QByteArray &data)
{
    if (serialPort) {
        serialPort->write(data);
        serialPort->flush();
    } else if (tcpSocket) {
        tcpSocket->write(data);
        tcpSocket->flush();
    } else {
        emit error(tr("Geçerli bir bağlantı yok!"));
    }
}

bool Connection::hasWaitingInput() const
{
    if (connectionType == 1 && serialPort) {
        if (serialPort->bytesAvailable() > 0)
            return true;
#ifdef Q_OS_UNIX
        int waiting = 0;
        return ::ioctl(int(serialPort->handle()), FIONREAD, &waiting) == 0 && waiting > 0;
#endif
    } else if (connectionType == 2 && tcpSocket) {
        if (tcpSocket->bytesAvailable() > 0)
            return true;
#ifdef Q_OS_UNIX
        int waiting = 0;
        return ::ioctl(int(tcpSocket->socketDescriptor()), FIONREAD, &waiting) == 0 && waiting > 0;
#endif
    }
    return false;
}

void Connection::close()
{
    // Unbound, not just forgotten: a socket or port used again later would
    // otherwise call this connection once more for each time it was bound.
    if (connectionType == 1) {
        if (serialPort)
            serialPort->close();
        detachSerialPort();
    } else if (connectionType == 2) {
        if (tcpSocket)
            tcpSocket->disconnectFromHost();
        detachTcpSocket();
    }
    connectionType = 0;
}

void Connection::onSerialPortError(QSerialPort::SerialPortError err)
{
    // Devices bound earlier keep their connections; only the bound one speaks.
    if (serialPort && sender() == serialPort)
        emit error(QStringLiteral("(%1) %2").arg(int(err)).arg(serialPort->errorString()));
}

void Connection::onSocketError(QAbstractSocket::SocketError err)
{
    if (tcpSocket && sender() == tcpSocket) {
        emit error(QStringLiteral("(%1) %2").arg(int(err)).arg(tcpSocket->errorString()));
        connectionType = 0;
    }
}

void Connection::onSocketDisconnected()
{
    if (tcpSocket && sender() != tcpSocket)
        return;
    detachTcpSocket();
    connectionType = 0;
}

void Connection::onReadyRead()
{
    // Read to size: readAll() hands out 16 KiB blocks for a few bytes, and a
    // reply kept between visits (a worker's buffer) would keep the block.
    if (connectionType == 1 && serialPort && sender() == serialPort) {
        const QByteArray chunk = serialPort->read(serialPort->bytesAvailable());
        if (!chunk.isEmpty())
            emit newData(chunk);
    } else if (connectionType == 2 && tcpSocket && sender() == tcpSocket) {
        const QByteArray chunk = tcpSocket->read(tcpSocket->bytesAvailable());
        if (!chunk.isEmpty())
            emit newData(chunk);
    }
}
