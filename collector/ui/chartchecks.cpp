#include "chartchecks.h"

#include "store/channelchecks.h"
#include "store/stationvalues.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <limits>

namespace {

const char *const storeTimeFormat = "yyyy-MM-dd hh:mm";

QString storeTime(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QLatin1String(storeTimeFormat));
}

} // namespace

bool ChartChecks::read(const QString &connection, int stationId, const ChartFile &file,
                       QHash<int, ChartChannelChecks> *checks)
{
    checks->clear();
    QList<ChannelChecks::Channel> channels;
    if (!ChannelChecks(connection).channels(stationId, &channels))
        return false;
    // The file's instant times.
    qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
    const QVector<ChartChannel> fileChannels = file.channels();
    for (const ChartChannel &c : fileChannels)
        for (const QPointF &p : file.points(c.id, ChartFile::Instant)) {
            first = std::min(first, qint64(p.x()));
            last = std::max(last, qint64(p.x()));
        }
    if (channels.isEmpty() || first > last)
        return true;
    const QString from = storeTime(first), to = storeTime(last);

    QSqlQuery q(QSqlDatabase::database(connection));
    // The key's order: the slot's newest value up to the file's end.
    q.prepare(QStringLiteral("SELECT channel, unit FROM station_values WHERE station_id = ? AND slot = ? "
                             "AND value_type = 'INS' AND at <= ? ORDER BY at DESC LIMIT 1"));
    StationValues values(connection);
    for (const ChannelChecks::Channel &channel : qAsConst(channels)) {
        if (channel.quality.isEmpty() && channel.alarms.isEmpty())
            continue;
        q.addBindValue(stationId);
        q.addBindValue(channel.slot);
        q.addBindValue(to);
        if (!q.exec()) {
            checks->clear();
            return false;
        }
        if (!q.next())
            continue;
        const int position = q.value(0).toInt();
        const QString unit = q.value(1).toString();
        const auto fileChannel = std::find_if(fileChannels.cbegin(), fileChannels.cend(),
                                              [position](const ChartChannel &c) { return c.id == position; });
        // Another configuration than the file's: nothing to say of it.
        if (fileChannel == fileChannels.cend() || checks->contains(position) ||
            (!unit.isEmpty() && !fileChannel->unit.isEmpty() && unit != fileChannel->unit))
            continue;
        ChartChannelChecks c;
        c.slot = channel.slot;
        QString error;
        // Checked when set; one changed in the store by hand draws nothing.
        if (!channel.alarms.isEmpty() && !ValueAlarms::Settings::parse(channel.alarms, &c.alarms, &error))
            c.alarms = ValueAlarms::Settings();
        if (!channel.quality.isEmpty()) {
            QList<StationValues::Value> stored;
            if (!values.series(stationId, channel.slot, QStringLiteral("INS"), from, to, 0, &stored)) {
                checks->clear();
                return false;
            }
            for (const StationValues::Value &v : qAsConst(stored)) {
                if (v.flag != 3 && v.flag != 4)
                    continue;
                const QDateTime at = QDateTime::fromString(v.at, QLatin1String(storeTimeFormat));
                bool ok = false;
                const double value = v.value.toDouble(&ok);
                if (!at.isValid() || !ok)
                    continue;
                (v.flag == 3 ? c.suspect : c.failed).append(QPointF(double(at.toMSecsSinceEpoch()), value));
            }
        }
        checks->insert(position, c);
    }
    return true;
}
