#pragma once

// One logger reached over TCP or a serial line, driven one request at a time
// for a command-line program: each call waits for its answer or its failure.

#include "nexil/protocol/nexil.h"

#include <QEventLoop>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>

#include <functional>

class DeviceSession
{
public:
    struct Target
    {
        QString host;
        quint16 port = 0;
        QString serialDevice;
        qint32 baud = 9600;
        int replyTimeout = 10000;
    };

    explicit DeviceSession(const Target &target);

    // Connects and binds; false with errorText() when the device cannot be reached.
    bool open();
    void close();

    // Starts a request and waits for `signal`; the handler receives its arguments.
    // False with errorText() on the library's error, a wrong password, or a refusal.
    template<typename Signal, typename Handler>
    bool call(const std::function<void()> &start, Signal signal, Handler handler)
    {
        QEventLoop loop;
        bool done = false;
        bool ok = false;
        auto finish = [&](bool success) {
            done = true;
            ok = success;
            loop.quit();
        };
        const auto answered = QObject::connect(&nexil, signal, &loop, [&](auto... args) {
            handler(args...);
            finish(true);
        });
        const auto failed = QObject::connect(&nexil, &Nexil::error, &loop, [&](int, const QString &text) {
            error = text;
            finish(false);
        });
        const auto refused = QObject::connect(&nexil, &Nexil::wrongPassword, &loop, [&] {
            error = QStringLiteral("wrong password");
            finish(false);
        });
        nexil.clearError();
        start();
        if (!done && !nexil.isBusy() && !nexil.isDownloading()) {
            // Refused before anything was sent (busy, or an incomplete record).
            error = nexil.lastErrorString();
            finish(false);
        }
        if (!done)
            loop.exec();
        QObject::disconnect(answered);
        QObject::disconnect(failed);
        QObject::disconnect(refused);
        return ok;
    }

    Nexil &device() { return nexil; }
    QString errorText() const { return error; }

private:
    Target target;
    QTcpSocket socket;
    QSerialPort port;
    Nexil nexil;
    QString error;
};
