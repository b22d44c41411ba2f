#include "storefollower.h"

#include "databaseconnection.h"
#include "stationtablemodel.h"

#include <QTimer>

StoreFollower::StoreFollower(StationTableModel *model, QObject *parent)
    : QObject(parent), m_model(model), m_timer(new QTimer(this))
{
    m_timer->setInterval(defaultIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &StoreFollower::poll);
}

void StoreFollower::setInterval(int ms)
{
    m_timer->setInterval(ms);
}

bool StoreFollower::start()
{
    if (!DatabaseConnection::isPostgreSQL())
        return false;
    m_timer->start();
    return true;
}

void StoreFollower::poll()
{
    bool ok = false;
    const QList<DBStation> stored = DatabaseConnection::selectStationsWithStatus(&ok);
    // A failed read says nothing about the list: keep what is shown.
    if (ok)
        m_model->followStore(stored, m_own ? m_own() : QSet<int>());
}
