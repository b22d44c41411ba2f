#include "transport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace loggersim {

TcpTransport::TcpTransport(QObject *parent) : Transport(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TcpTransport::acceptNext);
}

bool TcpTransport::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!m_server->listen(address, port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(m_server->errorString());
        return false;
    }
    return true;
}

quint16 TcpTransport::port() const
{
    return m_server->serverPort();
}

QString TcpTransport::readyText() const
{
    return QString::number(port());
}

void TcpTransport::acceptNext()
{
    if (m_client)
        return; // one client at a time; the others wait in the backlog
    QTcpSocket *socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    m_server->pauseAccepting();
    m_client = socket;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_idleMs > 0) {
        if (!m_idle) {
            m_idle = new QTimer(this);
            m_idle->setSingleShot(true);
            connect(m_idle, &QTimer::timeout, this, [this] {
                if (m_client)
                    m_client->abort();
            });
        }
        m_idle->start(m_idleMs);
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (socket != m_client)
            return;
        if (m_idle)
            m_idle->start(m_idleMs);
        emit received(socket->readAll());
    });
    connect(socket, &QTcpSocket::disconnected, this, &TcpTransport::onDisconnected);
    emit connected();
    if (socket->bytesAvailable() > 0)
        emit received(socket->readAll());
}

void TcpTransport::onDisconnected()
{
    QTcpSocket *socket = qobject_cast<QTcpSocket *>(sender());
    if (socket)
        socket->deleteLater();
    if (socket != m_client)
        return;
    m_client = nullptr;
    emit disconnected();
    m_server->resumeAccepting();
    if (m_server->hasPendingConnections())
        acceptNext();
}

void TcpTransport::write(const QByteArray &bytes)
{
    if (m_client && m_client->state() == QAbstractSocket::ConnectedState) {
        m_client->write(bytes);
        m_client->flush();
    }
}

void TcpTransport::hangUp()
{
    if (m_client)
        m_client->disconnectFromHost();
}

// ---------------------------------------------------------------------------

PtyTransport::PtyTransport(QObject *parent) : Transport(parent) {}

PtyTransport::~PtyTransport()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyTransport::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        *error = QStringLiteral("cannot name the pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // Held open so that the master never sees a hang-up between host sessions.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        *error = QStringLiteral("cannot open %1: %2")
                     .arg(m_slavePath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    termios tio;
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyTransport::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyTransport::onWritable);
    return true;
}

void PtyTransport::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            emit received(QByteArray(buffer, int(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
}

void PtyTransport::write(const QByteArray &bytes)
{
    m_pending.append(bytes);
    onWritable();
}

void PtyTransport::onWritable()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

} // namespace loggersim
