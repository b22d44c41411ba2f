#include "webevents.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>

void WebEvents::publish(const Status &s)
{
    const QByteArray data = QJsonDocument(QJsonObject{{QStringLiteral("id"), s.id},
                                                      {QStringLiteral("code"), s.code},
                                                      {QStringLiteral("status"), s.status},
                                                      {QStringLiteral("error"), s.error},
                                                      {QStringLiteral("time"), s.time}})
                                .toJson(QJsonDocument::Compact);
    {
        std::lock_guard<std::mutex> lock(mutex);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (!s.fromStore)
            lastDirectMs.insert(s.id, now);
        else if (lastDirectMs.contains(s.id) && now - lastDirectMs.value(s.id) < ownStationMs)
            return;
        const QString key = s.status + QLatin1Char('\n') + s.time;
        if (lastOf.value(s.id) == key)
            return;
        lastOf.insert(s.id, key);
        // JSON text holds no raw line break, so one data line is the event.
        append("event: status\ndata: " + data + "\n\n");
    }
    changed.notify_all();
}

void WebEvents::append(const QByteArray &event)
{
    events.push_back(event);
    if (events.size() > keep) {
        events.pop_front();
        ++first;
    }
}

void WebEvents::publishAlarms(const QList<Alarm> &up)
{
    QHash<QString, Alarm> now;
    for (const Alarm &a : up)
        now.insert(a.code + QLatin1Char('\n') + QString::number(a.channel) + QLatin1Char('\n') + a.kind, a);
    const auto event = [](const Alarm &a, bool raised) {
        return "event: alarm\ndata: " +
               QJsonDocument(QJsonObject{{QStringLiteral("code"), a.code},
                                         {QStringLiteral("channel"), a.channel},
                                         {QStringLiteral("kind"), a.kind},
                                         {QStringLiteral("raised"), raised},
                                         {QStringLiteral("since"), a.since},
                                         {QStringLiteral("value"), a.value}})
                   .toJson(QJsonDocument::Compact) +
               "\n\n";
    };
    bool any = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (alarmsKnown) {
            for (auto it = now.constBegin(); it != now.constEnd(); ++it) {
                const auto before = alarmsUp.constFind(it.key());
                // Raised again since the last look: a new alarm.
                if (before == alarmsUp.constEnd() || before->since != it->since) {
                    append(event(it.value(), true));
                    any = true;
                }
            }
            for (auto it = alarmsUp.constBegin(); it != alarmsUp.constEnd(); ++it) {
                if (!now.contains(it.key())) {
                    append(event(it.value(), false));
                    any = true;
                }
            }
        }
        alarmsUp = now;
        alarmsKnown = true;
    }
    if (any)
        changed.notify_all();
}

quint64 WebEvents::next() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return first + events.size();
}

QByteArray WebEvents::waitFrom(quint64 *from, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex);
    const quint64 woken = wakes;
    changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [&] { return closed || wakes != woken || first + events.size() > *from; });
    QByteArray out;
    if (closed)
        return out;
    // A reader too slow for the kept events starts at the oldest kept one.
    if (*from < first)
        *from = first;
    for (quint64 n = *from; n < first + events.size(); ++n)
        out += events.at(size_t(n - first));
    *from = first + events.size();
    return out;
}

void WebEvents::close()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    changed.notify_all();
}

void WebEvents::wake()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++wakes;
    }
    changed.notify_all();
}

bool WebEvents::isClosed() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return closed;
}
