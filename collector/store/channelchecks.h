#pragma once

#include "collection/qartodflags.h"
#include "collection/valuealarms.h"
#include "store/stationvalues.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

// A visit's values checked as they are committed, inside the commit's
// transaction: their quality flags by the channel's tests (the values
// before the visit as history, re-flagging those the new ones are
// neighbours of), and the channel's value alarms on the values new to the
// store. The alarms' state is kept per station and slot (table
// channel_alarms), so collectors sharing a store raise each alarm once: the
// collector whose commit holds the value.
//
// The settings are station settings: "quality:SLOT" and "alarms:SLOT".
class ChannelChecks
{
public:
    struct Alarm
    {
        int slot = 0;
        QString code, unit;
        ValueAlarms::Event event;
    };

    static QString qualityKey(int slot);
    static QString alarmsKey(int slot);
    // The slot of a "quality:SLOT" or "alarms:SLOT" key, -1 for another key.
    static int slotOf(const QString &key, const QString &prefix);

    // What a station's channels are checked for, and their alarms now.
    struct Channel
    {
        int slot = 0;
        QString quality, alarms; // the settings' texts
        ValueAlarms::State state;
    };

    explicit ChannelChecks(const QString &connection = QString());
    bool createTable();

    // Before the values are inserted: sets their flags, stores the changed
    // flags of values already stored and the alarms' new state, and gives
    // the alarms raised and cleared. False when the store failed.
    bool apply(int stationId, QList<StationValues::Value> *values, QList<Alarm> *alarms);
    // Every slot with settings or an alarm state, by slot. False when the
    // store failed.
    bool channels(int stationId, QList<Channel> *out);
    struct ActiveAlarm
    {
        QString code; // the station's
        int slot = 0;
        ValueAlarms::Kind kind = ValueAlarms::Kind::High;
        qint64 since = 0; // the raising value's time, minutes since 1970
        double value = 0;
    };
    // The value alarms up now at every station, by code and slot.
    bool activeAlarms(QList<ActiveAlarm> *out);

    // Where a slot's newest measured value (INS) stands: its position in
    // the channel list of the data file it was committed to, and the
    // channel's code and unit there. Slots without values are left out.
    struct Placement
    {
        int channel = 0;
        QString code, unit, file;
    };
    bool placements(int stationId, const QList<int> &slotList, QHash<int, Placement> *out);

private:
    // The settings' texts by slot.
    bool readSettings(int stationId, QMap<int, Channel> *bySlot);
    // state: the slot's alarms, checked on from (and left at) it.
    bool checkSlot(int stationId, int slot, const QList<int> &indexes, const QartodFlags::Settings &quality,
                   const ValueAlarms::Settings *alarmSettings, ValueAlarms::State *state,
                   QList<StationValues::Value> *values, QList<Alarm> *alarms);
    // Every slot's alarm state of the station; lock: until the commit (a
    // server's store).
    bool loadStates(int stationId, bool lock, QMap<int, ValueAlarms::State> *states);
    bool storeStates(int stationId, const QMap<int, ValueAlarms::State> &states);

    QString m_connection;
};
