#pragma once

// Byte links to the host: a TCP server that serves one client at a time, or
// a pseudo-terminal whose slave side the host opens as a serial port.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace loggersim {

class Transport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // What --ready-file and the first stdout line carry: the port or the slave path.
    virtual QString readyText() const = 0;

signals:
    void received(const QByteArray &bytes);
    // A new host connection (TCP) or the link being opened (pty).
    void connected();
    void disconnected();

public slots:
    virtual void write(const QByteArray &bytes) = 0;
    virtual void hangUp() = 0;
};

class TcpTransport : public Transport
{
    Q_OBJECT
public:
    explicit TcpTransport(QObject *parent = nullptr);
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;
    // Drops a client that sent nothing for ms milliseconds, as a station
    // modem drops a silent line (0: never).
    void setIdleHangUp(int ms) { m_idleMs = ms; }
    QString readyText() const override;

public slots:
    void write(const QByteArray &bytes) override;
    void hangUp() override;

private:
    void acceptNext();
    void onDisconnected();

    QTcpServer *m_server;
    QPointer<QTcpSocket> m_client;
    QTimer *m_idle = nullptr;
    int m_idleMs = 0;
};

class PtyTransport : public Transport
{
    Q_OBJECT
public:
    explicit PtyTransport(QObject *parent = nullptr);
    ~PtyTransport() override;
    bool open(QString *error);
    QString slavePath() const { return m_slavePath; }
    QString readyText() const override { return m_slavePath; }

public slots:
    void write(const QByteArray &bytes) override;
    // A pty cannot drop the line; the request is ignored.
    void hangUp() override {}

private:
    void onReadable();
    void onWritable();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_pending;
};

} // namespace loggersim
