#include "stationrows.h"

#include "store/stationtablemodel.h"

StationRows::StationRows(const StationTableModel *model, QObject *parent) : QObject(parent), model(model)
{
    const auto outdated = [this] { stale = true; };
    connect(model, &QAbstractItemModel::rowsInserted, this, outdated);
    connect(model, &QAbstractItemModel::rowsRemoved, this, outdated);
    connect(model, &QAbstractItemModel::rowsMoved, this, outdated);
    connect(model, &QAbstractItemModel::modelReset, this, outdated);
    connect(model, &QAbstractItemModel::layoutChanged, this, outdated);
}

void StationRows::rebuild() const
{
    index.clear();
    const QList<DBStation> stations = model->stations();
    index.reserve(stations.size());
    // The first row of an id wins, as a walk from the top would find it.
    for (int r = stations.size() - 1; r >= 0; --r)
        index.insert(stations.at(r).id, r);
    stale = false;
}

int StationRows::row(int id) const
{
    if (stale)
        rebuild();
    const QList<DBStation> stations = model->stations();
    auto it = index.constFind(id);
    // A row changed behind the signals' back: look again once.
    if (it != index.constEnd() && (*it >= stations.size() || stations.at(*it).id != id)) {
        rebuild();
        it = index.constFind(id);
    }
    return it == index.constEnd() ? -1 : *it;
}
