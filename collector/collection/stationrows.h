#pragma once

#include <QHash>
#include <QObject>

class StationTableModel;

// A station's row by its id without walking the whole list: the index is
// built again only after rows came, went or moved.
class StationRows : public QObject
{
    Q_OBJECT
public:
    explicit StationRows(const StationTableModel *model, QObject *parent = nullptr);

    // -1 when no row holds the station.
    int row(int id) const;

private:
    void rebuild() const;

    const StationTableModel *model;
    mutable QHash<int, int> index;
    mutable bool stale = true;
};
