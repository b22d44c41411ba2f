#include "servicenotifier.h"

#include "collectorlogging.h"
#include "linetext.h"

#include <cstring>

#ifdef NEXIL_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

ServiceNotifier::ServiceNotifier(QObject *parent) : QObject(parent)
{
    connect(&m_watchdog, &QTimer::timeout, this, [this] { notify("WATCHDOG=1"); });
}

bool ServiceNotifier::isActive() const
{
    return qEnvironmentVariableIsSet("NOTIFY_SOCKET");
}

void ServiceNotifier::ready(const QString &text)
{
    // A line break in the text would start an assignment of its own.
    notify("READY=1\nSTATUS=" + LineText::oneLine(text).toUtf8());
}

void ServiceNotifier::status(const QString &text)
{
    notify("STATUS=" + LineText::oneLine(text).toUtf8());
}

void ServiceNotifier::stopping()
{
    m_watchdog.stop();
    notify("STOPPING=1");
}

int ServiceNotifier::startWatchdog()
{
#ifdef NEXIL_HAVE_SYSTEMD
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return 0;
    const int interval = int(qBound<uint64_t>(1, usec / 2000, 60 * 60 * 1000));
    m_watchdog.start(interval);
    notify("WATCHDOG=1");
    return interval;
#else
    return 0;
#endif
}

bool ServiceNotifier::notify(const QByteArray &state)
{
#ifdef NEXIL_HAVE_SYSTEMD
    if (!isActive())
        return false;
    const int result = sd_notify(0, state.constData());
    if (result < 0)
        qCWarning(lcController, "sd_notify failed: %s", strerror(-result));
    return result > 0;
#else
    Q_UNUSED(state)
    return false;
#endif
}
