#pragma once

#include "dbstation.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

// The stations in memory, shown as a 46-column table. Every change goes to
// the database first and reaches the list only when the database took it.
class StationTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        ColumnId = 0,
        ColumnTitle = 1,
        ColumnActive = 13,
        ColumnFirstValue = 22,
        ColumnLastValue = 44,
        ColumnStatus = 45,
        ColumnCount = 46,
    };

    explicit StationTableModel(QObject *parent = nullptr);
    ~StationTableModel() override;

    QList<DBStation> stations() const { return stationList; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Replaces the records at the given rows with one database transaction
    // (one sync for all); nothing changes when the database refuses any.
    // busy: the refusal came from another connection's lock.
    bool updateStations(const QList<int> &rows, const QList<DBStation> &records, bool *busy = nullptr);
    // Workers' statuses for the given rows: only what a worker owns is
    // stored (status, last connection time) and taken into the rows (with
    // the instant values and the error flag); the operator's settings stay
    // as the list has them. Nothing changes when the database refuses any.
    // Statuses stored elsewhere (the store thread), shown in their rows.
    void showStoredStatuses(const QList<int> &rows, const QList<DBStation> &statuses);
    // Tells whether the last store of statuses worked (statusStoreWorking)
    // or not (statusStoreFailed with the database's reason).
    void reportStatusStore(bool stored, const QString &reason);
    bool updateStatuses(const QList<int> &rows, const QList<DBStation> &statuses, bool *busy = nullptr);
    // A worker's status as published, shown at once whether or not the
    // store has taken it yet (nothing is written).
    void showPublishedStatus(const DBStation &status);
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    // Takes in what others wrote into a shared store, writing nothing back:
    // rows added and deleted there, settings an operator changed (marked
    // modified, so the collector passes them on), and the statuses other
    // collectors stored. ownStatuses: stations whose status this program
    // publishes itself; theirs stay as they are.
    void followStore(const QList<DBStation> &stored, const QSet<int> &ownStatuses);

    // Visit statistics shown under the status in its tool tip.
    void setStatsSummary(int id, const QString &summary);

    QString enabledColor() const { return colorEnable; }
    QString disabledColor() const { return colorDisable; }
    QString errorColor() const { return colorError; }
    QString enabledBackground() const { return colorEnableBackground; }
    QString disabledBackground() const { return colorDisableBackground; }
    QString errorBackground() const { return colorErrorBackground; }

signals:
    // Writing workers' statuses failed (reason as the database said it), or
    // worked again.
    void statusStoreFailed(const QString &reason);
    void statusStoreWorking();

private:
    QVariant displayValue(const DBStation &station, int column) const;
    static Qt::Alignment alignment(int column);

    QList<DBStation> stationList;
    QHash<int, QString> statsSummaries;
    QString colorEnable;
    QString colorDisable;
    QString colorError;
    QString colorEnableBackground;
    QString colorDisableBackground;
    QString colorErrorBackground;
};
