#include "metricsfile.h"

#include <QSaveFile>
#include <QTextStream>
#include <QTimer>

namespace {

QString seconds(const QDateTime &time)
{
    return QString::number(time.toMSecsSinceEpoch() / 1000.0, 'f', 3);
}

struct Family
{
    const char *name;
    const char *type;
    const char *help;
};

void header(QString &out, const Family &f)
{
    out += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
               .arg(QLatin1String(f.name), QLatin1String(f.help), QLatin1String(f.type));
}

} // namespace

MetricsFile::MetricsFile(const QString &path, QObject *parent) : QObject(parent), filePath(path)
{
    delayed = new QTimer(this);
    delayed->setSingleShot(true);
    connect(delayed, &QTimer::timeout, this, &MetricsFile::writeNow);
    // The heartbeat shows that the collector is alive between visits.
    heartbeat = new QTimer(this);
    heartbeat->setInterval(60000);
    connect(heartbeat, &QTimer::timeout, this, &MetricsFile::requestWrite);
    heartbeat->start();
}

void MetricsFile::setHeartbeatMs(int ms)
{
    heartbeat->start(ms);
}

QString MetricsFile::escapeLabel(const QString &value)
{
    QString e = value;
    e.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    e.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    e.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return e;
}

QString MetricsFile::render(const QList<Entry> &stations, const QDateTime &heartbeatTime)
{
    QString out;
    header(out, {"tqm510_heartbeat_timestamp_seconds", "gauge", "When the collector last wrote this file."});
    out += QStringLiteral("tqm510_heartbeat_timestamp_seconds %1\n").arg(seconds(heartbeatTime));

    const auto label = [](const Entry &e) { return QStringLiteral("station=\"%1\"").arg(escapeLabel(e.first)); };

    header(out, {"tqm510_visits_total", "counter", "Station visits by result."});
    for (const Entry &e : stations) {
        const StationStats &s = e.second;
        const QPair<const char *, qint64> results[] = {{"success", s.successes},
                                                       {"no_connection", s.failedNoConnection},
                                                       {"wrong_station", s.failedWrongStation},
                                                       {"device_error", s.failedDevice},
                                                       {"save_error", s.failedSave}};
        for (const auto &r : results)
            out += QStringLiteral("tqm510_visits_total{%1,result=\"%2\"} %3\n")
                       .arg(label(e), QLatin1String(r.first))
                       .arg(r.second);
    }
    header(out, {"tqm510_retries_total", "counter", "Visits that were retries after a failure."});
    for (const Entry &e : stations)
        out += QStringLiteral("tqm510_retries_total{%1} %2\n").arg(label(e)).arg(e.second.retries);

    // Series without a value yet are left out rather than written as 0.
    header(out, {"tqm510_last_success_timestamp_seconds", "gauge", "End of the last successful visit."});
    for (const Entry &e : stations)
        if (e.second.lastSuccess.isValid())
            out += QStringLiteral("tqm510_last_success_timestamp_seconds{%1} %2\n")
                       .arg(label(e), seconds(e.second.lastSuccess));
    header(out, {"tqm510_clock_drift_seconds", "gauge", "Device clock minus host clock at the last visit."});
    for (const Entry &e : stations)
        if (e.second.driftKnown)
            out += QStringLiteral("tqm510_clock_drift_seconds{%1} %2\n").arg(label(e)).arg(e.second.lastDriftSeconds);
    header(out, {"tqm510_data_completeness_ratio", "gauge", "Share of the last 30 days' records received."});
    for (const Entry &e : stations)
        if (e.second.completenessKnown)
            out += QStringLiteral("tqm510_data_completeness_ratio{%1} %2\n")
                       .arg(label(e), QString::number(e.second.completeness30d, 'f', 4));
    header(out, {"tqm510_memory_full_timestamp_seconds", "gauge", "Forecast of when the device memory is full."});
    for (const Entry &e : stations)
        if (e.second.memoryFull.isValid())
            out += QStringLiteral("tqm510_memory_full_timestamp_seconds{%1} %2\n")
                       .arg(label(e), seconds(e.second.memoryFull));
    header(out, {"tqm510_memory_overwrite_timestamp_seconds", "gauge",
                 "Forecast of when unread data starts to be overwritten."});
    for (const Entry &e : stations)
        if (e.second.memoryOverwrite.isValid())
            out += QStringLiteral("tqm510_memory_overwrite_timestamp_seconds{%1} %2\n")
                       .arg(label(e), seconds(e.second.memoryOverwrite));
    return out;
}

void MetricsFile::requestWrite()
{
    if (!sinceWrite.isValid() || sinceWrite.elapsed() >= minIntervalMs) {
        writeNow();
        return;
    }
    if (!delayed->isActive())
        delayed->start(int(qMax<qint64>(0, minIntervalMs - sinceWrite.elapsed())));
}

bool MetricsFile::writeNow()
{
    delayed->stop();
    sinceWrite.start();
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        emit writeFailed(file.errorString());
        return false;
    }
    const QByteArray text = render(entries, QDateTime::currentDateTime()).toUtf8();
    if (file.write(text) != text.size() || !file.commit()) {
        emit writeFailed(file.errorString());
        return false;
    }
    return true;
}
