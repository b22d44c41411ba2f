#pragma once

#include <QObject>
#include <QSet>

#include <functional>

class QTimer;
class StationTableModel;

// On a shared PostgreSQL store, brings what other collectors and operators
// wrote into the model every few seconds (a light poll: one SELECT of the
// station list). On SQLite it does nothing: this program is the only writer
// the list has.
class StoreFollower : public QObject
{
    Q_OBJECT
public:
    static constexpr int defaultIntervalMs = 3000;

    explicit StoreFollower(StationTableModel *model, QObject *parent = nullptr);

    // Stations whose status this program publishes itself (its leases).
    void setOwnStations(std::function<QSet<int>()> own) { m_own = std::move(own); }
    void setInterval(int ms);
    // Starts polling when the store is shared; false when it is not.
    bool start();

public slots:
    void poll();

private:
    StationTableModel *m_model;
    QTimer *m_timer;
    std::function<QSet<int>()> m_own;
};
