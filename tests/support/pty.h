#pragma once

// A pseudo-terminal for tests: the slave side is opened as a serial port, the
// master side plays the device.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class Pty
{
public:
    Pty() = default;
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }

    bool open()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, name, &raw, nullptr) != 0)
            return false;
        path = QString::fromLocal8Bit(name);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        return true;
    }

    QString slavePath() const { return path; }
    int masterFd() const { return master; }

    QByteArray readMaster()
    {
        QByteArray out;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            out.append(chunk, int(n));
        }
        return out;
    }

    bool writeMaster(const QByteArray &data)
    {
        return ::write(master, data.constData(), size_t(data.size())) == data.size();
    }

private:
    int master = -1;
    int slave = -1; // kept open so the master never sees a hang-up between opens
    QString path;
};
