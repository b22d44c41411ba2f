#pragma once

// The device end of a pseudo-terminal: the tool under test opens slavePath()
// as its serial port, the test reads and writes the master side.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyPeer : public QObject
{
    Q_OBJECT

public:
    PtyPeer()
    {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        ::tcgetattr(m_slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slave, TCSANOW, &raw);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char chunk[512];
            for (;;) {
                const ssize_t n = ::read(m_master, chunk, sizeof chunk);
                if (n <= 0)
                    break;
                m_received.append(chunk, int(n));
            }
            emit readyRead();
        });
    }
    ~PtyPeer() override
    {
        delete m_notifier;
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }

    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_path; }
    QByteArray received() const { return m_received; }
    void clear() { m_received.clear(); }

    bool write(const QByteArray &bytes)
    {
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

signals:
    void readyRead();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_received;
};
