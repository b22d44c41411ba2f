#pragma once

// One logger reached over TCP or a serial line, driven one request at a time
// for a command-line program: each call waits for its answer or its failure.

#include "nexil/protocol/nexil.h"

#include <QEventLoop>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

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
    // False with errorText() on the library's error, a wrong password, a
    // refusal, or when the deadline passes: the reply time of five
    // transmissions and a margin, counted again whenever a download moves on.
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
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setInterval(deadlineMs());
        QList<QMetaObject::Connection> connections;
        connections << QObject::connect(&nexil, signal, &loop, [&](auto... args) {
            handler(args...);
            finish(true);
        });
        connections << QObject::connect(&nexil, &Nexil::error, &loop, [&](int code, const QString &text) {
            error = describe(code, text);
            finish(false);
        });
        refused = false;
        connections << QObject::connect(&nexil, &Nexil::wrongPassword, &loop, [&] {
            refused = true;
            error = QStringLiteral("wrong password: the device refused it");
            finish(false);
        });
        connections << QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            nexil.cancelLastProcess();
            error = QStringLiteral("no answer from the device within %1 s").arg(deadline.interval() / 1000.0);
            finish(false);
        });
        // A download is many requests: each step it takes earns a new deadline.
        const auto alive = [&] { deadline.start(); };
        connections << QObject::connect(&nexil, &Nexil::downloadProgress, &loop, alive);
        connections << QObject::connect(&nexil, &Nexil::downloadStarted, &loop, alive);
        connections << QObject::connect(&nexil, &Nexil::fileInformations, &loop, alive);
        connections << QObject::connect(&nexil, &Nexil::channelCalibrations, &loop, alive);
        connections << QObject::connect(&nexil, &Nexil::channelNames, &loop, alive);
        nexil.clearError();
        start();
        if (!done && !nexil.isBusy() && !nexil.isDownloading()) {
            // Refused before anything was sent (busy, or an incomplete record).
            error = describe(nexil.lastError(), nexil.lastErrorString());
            finish(false);
        }
        if (!done) {
            deadline.start();
            loop.exec();
        }
        for (const QMetaObject::Connection &c : qAsConst(connections))
            QObject::disconnect(c);
        return ok;
    }

    Nexil &device() { return nexil; }
    QString errorText() const { return error; }
    // The last call ended in the device's refusal (a wrong password).
    bool wasRefused() const { return refused; }
    int deadlineMs() const;

    // An English line for a library error, the library's own text below it.
    static QString describe(int code, const QString &libraryText);

private:
    Target target;
    QTcpSocket socket;
    QSerialPort port;
    Nexil nexil;
    QString error;
    bool refused = false;
};
