#include "metricsfile.h"

#include <QSaveFile>
#include <QTextStream>
#include <QTimer>

#include <utility>

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
    connect(delayed, &QTimer::timeout, this, &MetricsFile::writeInBackground);
    pool.setMaxThreadCount(1);
    // The heartbeat shows that the collector is alive between visits.
    heartbeat = new QTimer(this);
    heartbeat->setInterval(60000);
    connect(heartbeat, &QTimer::timeout, this, &MetricsFile::requestWrite);
    heartbeat->start();
}

MetricsFile::~MetricsFile()
{
    pool.waitForDone();
}

void MetricsFile::setHeartbeatMs(int ms)
{
    heartbeat->start(ms);
}

QString MetricsFile::escapeLabel(const QString &value)
{
    QString e;
    e.reserve(value.size());
    for (const QChar ch : value) {
        const ushort c = ch.unicode();
        if (c == '\\')
            e += QLatin1String("\\\\");
        else if (c == '"')
            e += QLatin1String("\\\"");
        else if (c == '\n')
            e += QLatin1String("\\n");
        else if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029)
            e += QChar(QChar::ReplacementCharacter); // the format has no escape for these
        else
            e += ch;
    }
    return e;
}

namespace {

// One sample line, put together piece by piece: a station code holding "%1"
// must not take the place of a later value.
QString sample(const char *name, const QString &labels, const QString &value)
{
    QString line = QLatin1String(name);
    if (!labels.isEmpty())
        line += QLatin1Char('{') + labels + QLatin1Char('}');
    return line + QLatin1Char(' ') + value + QLatin1Char('\n');
}

} // namespace

QString MetricsFile::render(const QList<Entry> &stations, const QDateTime &heartbeatTime, double mainLoopLag)
{
    QString out;
    // None known (a server that only serves, no collector beating): none written.
    if (heartbeatTime.isValid()) {
        header(out, {"tqm510_heartbeat_timestamp_seconds", "gauge",
                     "When the collector last showed it is alive."});
        out += sample("tqm510_heartbeat_timestamp_seconds", QString(), seconds(heartbeatTime));
    }
    if (mainLoopLag >= 0) {
        header(out, {"tqm510_main_loop_lag_seconds", "gauge",
                     "Largest delay of the main event loop during the last minute."});
        out += sample("tqm510_main_loop_lag_seconds", QString(), QString::number(mainLoopLag, 'f', 3));
    }

    const auto label = [](const Entry &e) {
        return QLatin1String("station=\"") + escapeLabel(e.first) + QLatin1Char('"');
    };

    header(out, {"tqm510_visits_total", "counter", "Station visits by result."});
    for (const Entry &e : stations) {
        const StationStats &s = e.second;
        const QPair<const char *, qint64> results[] = {{"success", s.successes},
                                                       {"no_connection", s.failedNoConnection},
                                                       {"wrong_station", s.failedWrongStation},
                                                       {"device_error", s.failedDevice},
                                                       {"save_error", s.failedSave}};
        for (const auto &r : results)
            out += sample("tqm510_visits_total",
                          label(e) + QLatin1String(",result=\"") + QLatin1String(r.first) + QLatin1Char('"'),
                          QString::number(r.second));
    }
    header(out, {"tqm510_retries_total", "counter", "Visits that were retries after a failure."});
    for (const Entry &e : stations)
        out += sample("tqm510_retries_total", label(e), QString::number(e.second.retries));

    header(out, {"tqm510_config_changes_total", "counter",
                 "Configuration changes found at the station that no upload from here explains."});
    for (const Entry &e : stations)
        out += sample("tqm510_config_changes_total", label(e), QString::number(e.second.configChanges));

    // Series without a value yet are left out rather than written as 0.
    header(out, {"tqm510_last_success_timestamp_seconds", "gauge", "End of the last successful visit."});
    for (const Entry &e : stations)
        if (e.second.lastSuccess.isValid())
            out += sample("tqm510_last_success_timestamp_seconds", label(e), seconds(e.second.lastSuccess));
    header(out, {"tqm510_clock_drift_seconds", "gauge", "Device clock minus host clock at the last visit."});
    for (const Entry &e : stations)
        if (e.second.driftKnown)
            out += sample("tqm510_clock_drift_seconds", label(e), QString::number(e.second.lastDriftSeconds));
    header(out, {"tqm510_data_completeness_ratio", "gauge", "Share of the last 30 days' records received."});
    for (const Entry &e : stations)
        if (e.second.completenessKnown)
            out += sample("tqm510_data_completeness_ratio", label(e),
                          QString::number(e.second.completeness30d, 'f', 4));
    header(out,
           {"tqm510_memory_full_timestamp_seconds", "gauge", "Forecast of when the device memory is full."});
    for (const Entry &e : stations)
        if (e.second.memoryFull.isValid())
            out += sample("tqm510_memory_full_timestamp_seconds", label(e), seconds(e.second.memoryFull));
    header(out, {"tqm510_memory_overwrite_timestamp_seconds", "gauge",
                 "Forecast of when unread data starts to be overwritten."});
    for (const Entry &e : stations)
        if (e.second.memoryOverwrite.isValid())
            out += sample("tqm510_memory_overwrite_timestamp_seconds", label(e),
                          seconds(e.second.memoryOverwrite));
    return out;
}

void MetricsFile::requestWrite()
{
    if (!sinceWrite.isValid() || sinceWrite.elapsed() >= minIntervalMs) {
        writeInBackground();
        return;
    }
    if (!delayed->isActive())
        delayed->start(int(qMax<qint64>(0, minIntervalMs - sinceWrite.elapsed())));
}

void MetricsFile::writeInBackground()
{
    delayed->stop();
    // One write at a time, in order; what came meanwhile goes after it.
    if (writing) {
        writeAgain = true;
        return;
    }
    const double lag = takeFigures();
    writing = true;
    pool.start([this, stations = entries, lag, path = filePath] {
        QString error;
        const bool ok = write(path, stations, lag, &error);
        QMetaObject::invokeMethod(
            this,
            [this, ok, error] {
                writing = false;
                if (!ok)
                    emit writeFailed(error);
                if (std::exchange(writeAgain, false))
                    requestWrite();
            },
            Qt::QueuedConnection);
    });
}

bool MetricsFile::writeNow()
{
    delayed->stop();
    pool.waitForDone();
    const double lag = takeFigures();
    QString error;
    if (!write(filePath, entries, lag, &error)) {
        emit writeFailed(error);
        return false;
    }
    return true;
}

double MetricsFile::takeFigures()
{
    sinceWrite.start();
    if (entriesSource)
        entries = entriesSource();
    return lagSource ? lagSource() : -1.0;
}

bool MetricsFile::write(const QString &path, const QList<Entry> &stations, double lag, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray text = render(stations, QDateTime::currentDateTime(), lag).toUtf8();
    if (file.write(text) != text.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
