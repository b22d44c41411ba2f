#include "channelchecks.h"

#include "collectorlogging.h"
#include "databaseconnection.h"
#include "stationsettings.h"

#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

const char *const timeFormat = "yyyy-MM-dd hh:mm";

QString atOf(qint64 minute)
{
    return QartodFlags::dateTimeOf(minute).toString(QLatin1String(timeFormat));
}

bool failed(const QSqlQuery &q)
{
    qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
    return false;
}

} // namespace

QString ChannelChecks::qualityKey(int slot)
{
    return QStringLiteral("quality:%1").arg(slot);
}

QString ChannelChecks::alarmsKey(int slot)
{
    return QStringLiteral("alarms:%1").arg(slot);
}

int ChannelChecks::slotOf(const QString &key, const QString &prefix)
{
    if (!key.startsWith(prefix + QLatin1Char(':')))
        return -1;
    const QString digits = key.mid(prefix.size() + 1);
    bool ok = false;
    const int slot = digits.toInt(&ok);
    // The device has 64 slots at the most.
    return ok && digits.size() <= 2 && slot >= 0 && slot < 64 && digits == QString::number(slot) ? slot : -1;
}

ChannelChecks::ChannelChecks(const QString &connection)
    : m_connection(connection.isEmpty() ? DatabaseConnection::connectionName() : connection)
{
}

bool ChannelChecks::createTable()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS channel_alarms (station_id INTEGER NOT NULL, "
                              "slot INTEGER NOT NULL, state TEXT NOT NULL DEFAULT '', "
                              "PRIMARY KEY (station_id, slot))")))
        return true;
    return failed(q);
}

bool ChannelChecks::apply(int stationId, QList<StationValues::Value> *values, QList<Alarm> *alarms)
{
    // Most stations have none: no question for them at every commit. The
    // settings in memory are read again after every visit.
    if (!StationSettings::hasChannelChecks(stationId))
        return true;
    QMap<int, Channel> texts;
    if (!readSettings(stationId, &texts))
        return false;
    QMap<int, QartodFlags::Settings> quality;
    QMap<int, ValueAlarms::Settings> alarmSettings;
    for (const Channel &c : qAsConst(texts)) {
        QString error;
        // Checked when set; one changed in the store by hand is passed over.
        if (!c.quality.isEmpty() && !QartodFlags::Settings::parse(c.quality, &quality[c.slot], &error))
            qCWarning(lcStore, "station %d: the setting %s is not used: %s", stationId,
                      qUtf8Printable(qualityKey(c.slot)), qUtf8Printable(error));
        if (!c.alarms.isEmpty() && !ValueAlarms::Settings::parse(c.alarms, &alarmSettings[c.slot], &error))
            qCWarning(lcStore, "station %d: the setting %s is not used: %s", stationId,
                      qUtf8Printable(alarmsKey(c.slot)), qUtf8Printable(error));
    }
    if (quality.isEmpty() && alarmSettings.isEmpty())
        return true;
    // The instant values of each slot with checks.
    QMap<int, QList<int>> bySlot;
    for (int i = 0; i < values->size(); ++i) {
        const StationValues::Value &v = values->at(i);
        if (v.type == QLatin1String("INS") && (quality.contains(v.slot) || alarmSettings.contains(v.slot)))
            bySlot[v.slot].append(i);
    }
    // The alarms' states in one question, the changed ones back in one.
    QMap<int, ValueAlarms::State> states, changed;
    if (!alarmSettings.isEmpty() && !loadStates(stationId, true, &states))
        return false;
    for (auto it = bySlot.constBegin(); it != bySlot.constEnd(); ++it) {
        const auto alarm = alarmSettings.constFind(it.key());
        ValueAlarms::State state = states.value(it.key());
        const ValueAlarms::State before = state;
        if (!checkSlot(stationId, it.key(), it.value(), quality.value(it.key()),
                       alarm == alarmSettings.constEnd() ? nullptr : &alarm.value(), &state, values, alarms))
            return false;
        if (alarm != alarmSettings.constEnd() && !(state == before))
            changed.insert(it.key(), state);
    }
    return storeStates(stationId, changed);
}

bool ChannelChecks::checkSlot(int stationId, int slot, const QList<int> &indexes,
                              const QartodFlags::Settings &quality,
                              const ValueAlarms::Settings *alarmSettings, ValueAlarms::State *state,
                              QList<StationValues::Value> *values, QList<Alarm> *alarms)
{
    const QartodFlags flags(quality);
    QVector<QartodFlags::Point> added;
    QList<int> addedIndex;
    for (int i : indexes) {
        qint64 minute = 0;
        if (!QartodFlags::parseMinute(values->at(i).at, &minute))
            continue;
        added.append(QartodFlags::point(minute, values->at(i).value));
        addedIndex.append(i);
    }
    if (added.isEmpty())
        return true;
    const auto [first, last] = std::minmax_element(
        added.cbegin(), added.cend(),
        [](const QartodFlags::Point &a, const QartodFlags::Point &b) { return a.minute < b.minute; });
    // The stored values next to the new ones, then the history the tests
    // need before and after those.
    StationValues store(m_connection);
    QList<StationValues::Value> rows;
    if (!store.series(stationId, slot, QStringLiteral("INS"), atOf(first->minute), atOf(last->minute), 1,
                      &rows))
        return false;
    qint64 from = first->minute, to = last->minute;
    for (const StationValues::Value &row : qAsConst(rows)) {
        qint64 m = 0;
        if (QartodFlags::parseMinute(row.at, &m)) {
            from = qMin(from, m);
            to = qMax(to, m);
        }
    }
    const qint64 history = flags.historyMinutes();
    if (history > 0 && !store.series(stationId, slot, QStringLiteral("INS"), atOf(from - history),
                                     atOf(to + history), 1, &rows))
        return false;
    QVector<QartodFlags::Point> stored;
    QSet<qint64> storedMinutes;
    for (const StationValues::Value &row : qAsConst(rows)) {
        qint64 m = 0;
        if (!QartodFlags::parseMinute(row.at, &m))
            continue;
        QartodFlags::Point p = QartodFlags::point(m, row.value);
        p.flag = row.flag;
        stored.append(p);
        storedMinutes.insert(m);
    }
    const QartodFlags::Update update = flags.update(stored, added);
    for (int i = 0; i < addedIndex.size(); ++i)
        (*values)[addedIndex.at(i)].flag = update.added.at(i).flag;
    for (const QartodFlags::Changed &c : update.changed)
        if (!store.setFlag(stationId, slot, QStringLiteral("INS"), atOf(stored.at(c.index).minute),
                           c.result.flag))
            return false;
    if (!alarmSettings)
        return true;

    ValueAlarms check(*alarmSettings, *state);
    // The value that waited for its successor first, then the new ones in
    // time order: a spike is known before it could raise an alarm. Values
    // the store holds already were checked by whoever committed them.
    QVector<QPair<qint64, QPair<double, quint8>>> order;
    for (const QartodFlags::Changed &c : update.settled)
        order.append({stored.at(c.index).minute, {stored.at(c.index).value, c.result.flag}});
    for (int i = 0; i < added.size(); ++i)
        if (!update.added.at(i).waits && !storedMinutes.contains(added.at(i).minute))
            order.append({added.at(i).minute, {added.at(i).value, update.added.at(i).flag}});
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    const StationValues::Value &sample = values->at(indexes.first());
    for (const auto &o : qAsConst(order))
        for (const ValueAlarms::Event &e : check.check(o.first, o.second.first, o.second.second))
            alarms->append({slot, sample.code, sample.unit, e});
    *state = check.state();
    return true;
}

bool ChannelChecks::loadStates(int stationId, bool lock, QMap<int, ValueAlarms::State> *states)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery q(db);
    // Locked until the commit: two collectors' commits take turns.
    q.prepare(QStringLiteral("SELECT slot, state FROM channel_alarms WHERE station_id = ?%1")
                  .arg(lock && db.driverName() == QLatin1String("QPSQL") ? QStringLiteral(" FOR UPDATE")
                                                                         : QString()));
    q.addBindValue(stationId);
    if (!q.exec())
        return failed(q);
    while (q.next()) {
        const int slot = q.value(0).toInt();
        QString error;
        ValueAlarms::State state;
        if (slot < 0 || slot >= 64)
            continue;
        if (ValueAlarms::State::fromJson(q.value(1).toString(), &state, &error))
            states->insert(slot, state);
        else
            qCWarning(lcStore, "station %d slot %d: the alarm state is unreadable and starts anew: %s",
                      stationId, slot, qUtf8Printable(error));
    }
    return true;
}

bool ChannelChecks::storeStates(int stationId, const QMap<int, ValueAlarms::State> &states)
{
    if (states.isEmpty())
        return true;
    QStringList rows;
    for (int i = 0; i < states.size(); ++i)
        rows << QStringLiteral("(?, ?, ?)");
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("INSERT INTO channel_alarms (station_id, slot, state) VALUES %1 "
                             "ON CONFLICT (station_id, slot) DO UPDATE SET state = EXCLUDED.state")
                  .arg(rows.join(QStringLiteral(", "))));
    for (auto it = states.constBegin(); it != states.constEnd(); ++it) {
        q.addBindValue(stationId);
        q.addBindValue(it.key());
        q.addBindValue(it.value().toJson());
    }
    return q.exec() || failed(q);
}

bool ChannelChecks::readSettings(int stationId, QMap<int, Channel> *bySlot)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("SELECT key, value FROM station_settings WHERE station_id = ? AND "
                             "(key LIKE 'quality:%' OR key LIKE 'alarms:%')"));
    q.addBindValue(stationId);
    if (!q.exec())
        return failed(q);
    while (q.next()) {
        const QString key = q.value(0).toString();
        int slot = slotOf(key, QStringLiteral("quality"));
        if (slot >= 0) {
            (*bySlot)[slot].slot = slot;
            (*bySlot)[slot].quality = q.value(1).toString();
        } else if ((slot = slotOf(key, QStringLiteral("alarms"))) >= 0) {
            (*bySlot)[slot].slot = slot;
            (*bySlot)[slot].alarms = q.value(1).toString();
        }
    }
    return true;
}

bool ChannelChecks::channels(int stationId, QList<Channel> *out)
{
    out->clear();
    QMap<int, Channel> bySlot;
    if (!readSettings(stationId, &bySlot))
        return false;
    QMap<int, ValueAlarms::State> states;
    if (!loadStates(stationId, false, &states))
        return false;
    for (auto it = states.constBegin(); it != states.constEnd(); ++it)
        bySlot[it.key()].state = it.value();
    for (auto it = bySlot.begin(); it != bySlot.end(); ++it) {
        it->slot = it.key();
        out->append(it.value());
    }
    return true;
}

bool ChannelChecks::activeAlarms(QList<ActiveAlarm> *out)
{
    out->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    // Only an active alarm writes "since": the states of quiet channels
    // (most of them, with their rise windows) are not read and parsed.
    if (!q.exec(QStringLiteral("SELECT s.code, a.slot, a.state FROM channel_alarms a JOIN stations s ON "
                               "s.id = a.station_id WHERE a.state LIKE '%\"since\"%' "
                               "ORDER BY s.code, a.slot")))
        return failed(q);
    while (q.next()) {
        ValueAlarms::State state;
        QString error;
        if (!ValueAlarms::State::fromJson(q.value(2).toString(), &state, &error))
            continue;
        for (ValueAlarms::Kind kind :
             {ValueAlarms::Kind::High, ValueAlarms::Kind::Low, ValueAlarms::Kind::Rise})
            if (state.alarm(kind).active)
                out->append({q.value(0).toString(), q.value(1).toInt(), kind, state.alarm(kind).since,
                             state.alarm(kind).value});
    }
    return true;
}

bool ChannelChecks::placements(int stationId, const QList<int> &slotList, QHash<int, Placement> *out)
{
    out->clear();
    QSqlQuery q(QSqlDatabase::database(m_connection));
    // The key's order (station, slot, type, time): the newest is one step.
    q.prepare(QStringLiteral("SELECT v.channel, v.code, v.unit, COALESCE(c.file, '') FROM station_values v "
                             "LEFT JOIN station_commits c ON c.id = v.target WHERE v.station_id = ? AND "
                             "v.slot = ? AND v.value_type = 'INS' ORDER BY v.at DESC LIMIT 1"));
    for (const int slot : slotList) {
        q.addBindValue(stationId);
        q.addBindValue(slot);
        if (!q.exec())
            return failed(q);
        if (q.next())
            out->insert(slot, {q.value(0).toInt(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).toString()});
    }
    return true;
}
