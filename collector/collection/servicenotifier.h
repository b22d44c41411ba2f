#pragma once

// Talks to systemd when it started the collector as a Type=notify service:
// readiness, a status line, the watchdog ping and the stop. Outside systemd
// (no NOTIFY_SOCKET) every call does nothing.

#include <QObject>
#include <QTimer>

class ServiceNotifier : public QObject
{
    Q_OBJECT

public:
    explicit ServiceNotifier(QObject *parent = nullptr);

    // True when a service manager listens (NOTIFY_SOCKET is set).
    bool isActive() const;
    void ready(const QString &status);
    void status(const QString &status);
    void stopping();

    // Pings the watchdog at half its period from this thread's event loop,
    // so a loop that hangs stops the pings and systemd restarts the service.
    // Returns the ping interval in ms, or 0 when no watchdog is asked for.
    int startWatchdog();

private:
    bool notify(const QByteArray &state);

    QTimer m_watchdog;
};
