#pragma once

// The device end of a TCP link: a loopback server that takes one client and
// records what it sends.

#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class TcpPeer : public QObject
{
    Q_OBJECT

public:
    TcpPeer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            connect(m_client, &QTcpSocket::readyRead, this, [this] {
                m_received.append(m_client->readAll());
                emit readyRead();
            });
            connect(m_client, &QTcpSocket::disconnected, this, [this] { m_disconnected = true; });
            emit connected();
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    bool hasClient() const
    {
        return !m_client.isNull() && m_client->state() == QAbstractSocket::ConnectedState;
    }
    bool clientGone() const { return m_disconnected; }
    QByteArray received() const { return m_received; }
    void clear() { m_received.clear(); }

    void write(const QByteArray &bytes)
    {
        if (m_client) {
            m_client->write(bytes);
            m_client->flush();
        }
    }
    void hangUp()
    {
        if (m_client)
            m_client->disconnectFromHost();
    }

signals:
    void connected();
    void readyRead();

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_received;
    bool m_disconnected = false;
};
