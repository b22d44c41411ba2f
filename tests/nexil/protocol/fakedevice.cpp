#include "fakedevice.h"

FakeDevice::FakeDevice(QObject *parent) : QObject(parent) {}

bool FakeDevice::connectClient(QTcpSocket *client)
{
    if (!server.listen(QHostAddress::LocalHost))
        return false;
    client->connectToHost(QHostAddress::LocalHost, server.serverPort());
    if (!client->waitForConnected(5000) || !server.waitForNewConnection(5000))
        return false;
    socket = server.nextPendingConnection();
    connect(socket, &QTcpSocket::readyRead, this, &FakeDevice::onReadyRead);
    return socket != nullptr;
}

int FakeDevice::requestCount(const QByteArray &prefix) const
{
    int n = 0;
    for (const QByteArray &r : received) {
        if (r.startsWith(prefix))
            ++n;
    }
    return n;
}

void FakeDevice::send(const QByteArray &bytes)
{
    socket->write(bytes);
    socket->flush();
}

void FakeDevice::onReadyRead()
{
    pending += socket->readAll();
    // Requests end in three CRs; a block request's CRC may contain 0x0D, so
    // its fixed length decides where it ends.
    for (;;) {
        int end = -1;
        if (pending.startsWith("\x02"
                               "AKT")) {
            if (pending.size() >= 22)
                end = 22;
        } else {
            const int crs = pending.indexOf("\r\r\r");
            if (crs >= 0)
                end = crs + 3;
        }
        if (end < 0)
            return;
        const QByteArray request = pending.left(end);
        pending.remove(0, end);
        received << request;
        emit requestReceived(request);
        if (handler) {
            const QByteArray answer = handler(request);
            if (!answer.isEmpty())
                send(answer);
        }
    }
}
