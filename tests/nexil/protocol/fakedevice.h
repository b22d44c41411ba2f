#pragma once

// An in-process device on a loopback socket: collects the request frames it
// receives and answers them through a handler the test supplies.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

class FakeDevice : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<QByteArray(const QByteArray &request)>;

    explicit FakeDevice(QObject *parent = nullptr);

    // Listens, connects `client` to itself and waits for both ends.
    bool connectClient(QTcpSocket *client);

    void setHandler(Handler h) { handler = std::move(h); }
    QList<QByteArray> requests() const { return received; }
    int requestCount(const QByteArray &prefix) const;
    void send(const QByteArray &bytes);
    QTcpSocket *peer() const { return socket; }

signals:
    void requestReceived(QByteArray request);

private:
    void onReadyRead();

    QTcpServer server;
    QTcpSocket *socket = nullptr;
    QByteArray pending;
    QList<QByteArray> received;
    Handler handler;
};
