#pragma once

#include "store/channelchecks.h"

#include <QList>
#include <QObject>

#include <memory>

class QTimer;
class StationTableModel;
class StoreThread;

// Brings the value alarms up in the store into the station table: read on
// a store connection of its own, off the main thread, in one query for all
// stations, after each visit this program stored and, on a shared store,
// every few seconds (alarms another collector raised or cleared).
class AlarmFollower : public QObject
{
    Q_OBJECT
public:
    explicit AlarmFollower(StationTableModel *model, QObject *parent = nullptr);
    // Waits for a read under way.
    ~AlarmFollower() override;

    void setInterval(int ms);
    // Reads every interval when the store is shared; false when it is not
    // (only this program's visits change it then).
    bool start();
    // Reads taken into the table so far.
    int reads() const { return m_reads; }

public slots:
    // Reads the alarms again; asked while a read is out, once more after it.
    void refresh();

private:
    void take(bool ok, const QList<ChannelChecks::ActiveAlarm> &alarms);

    StationTableModel *m_model;
    QTimer *m_timer;
    std::unique_ptr<StoreThread> m_thread;
    bool m_out = false;
    bool m_again = false;
    int m_reads = 0;
};
