#pragma once

// A loopback listener that accepts connections and never answers: a modem
// whose datalogger stays silent. Counts the connections it has seen.

#include <QTcpServer>
#include <QTcpSocket>

class SilentDevice : public QTcpServer
{
public:
    explicit SilentDevice(QObject *parent = nullptr) : QTcpServer(parent)
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                ++connections;
                received.append(QByteArray());
                const int n = connections - 1;
                connect(s, &QTcpSocket::readyRead, s, [this, s, n] { received[n] += s->readAll(); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    int connections = 0;
    QList<QByteArray> received;
};

// A port on which nothing listens: connecting to it is refused.
inline quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}
