#pragma once

#include "channelchecks.h"
#include "dbstation.h"

#include <QDateTime>

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

    // A station entered without a device type takes the one its device
    // reported: only that column is written (a whole row would put back a
    // status older than the one stored meanwhile). False when the store
    // refused it.
    bool recordDeviceType(int id, const QString &type);
    // The two halves of it: the store's row (on the calling thread's
    // connection), and the model's copy.
    static bool storeDeviceType(int id, const QString &type);
    void noteDeviceType(int id, const QString &type);

    // Visit statistics shown under the status in its tool tip.
    void setStatsSummary(int id, const QString &summary);

    // A station's row stays in the error colours, counted and among the
    // failing ones from a failed visit until the next visit ends well: a
    // status published while a visit runs (which clears its error flag)
    // does not hide the last outcome. A failure published during a visit
    // shows at once.
    void visitEnded(int id, bool failed);
    // The last stored visit found the device clock beyond the limit;
    // failuresInRow and lastSuccess go into the tool tip of a failing row
    // (and until a visit of this run ends, failuresInRow tells whether the
    // last one failed).
    // justStored: the statistics of a visit that has just ended (not those
    // loaded at start).
    void setVisitFacts(int id, bool driftWarning, int failuresInRow, const QDateTime &lastSuccess,
                       bool justStored = true);
    bool isFailing(const DBStation &station) const;
    // A stored status as the window shows it: the workers' fixed English
    // statuses in the window's language.
    static QString shownStatus(const QString &status);
    bool hasDriftWarning(const DBStation &station) const;

    // The value alarms up now at every station (as the store lists them,
    // whichever collector raised them); rows whose alarms changed are
    // announced. An active station with one has the alarm colours, before
    // the failing ones: a failing station's last values may still be
    // beyond the limit, and the failure shows in its tool tip and counter.
    void showValueAlarms(const QList<ChannelChecks::ActiveAlarm> &alarms);
    bool hasValueAlarm(const DBStation &station) const;
    // "Value alarm on channel 2: high since 2026-12-01 02:15, value 104.5"
    static QString alarmText(const ChannelChecks::ActiveAlarm &alarm);

    QString enabledColor() const { return colorEnable; }
    QString disabledColor() const { return colorDisable; }
    QString errorColor() const { return colorError; }
    QString enabledBackground() const { return colorEnableBackground; }
    QString disabledBackground() const { return colorDisableBackground; }
    QString errorBackground() const { return colorErrorBackground; }
    QString driftColor() const { return colorDrift; }
    QString driftBackground() const { return colorDriftBackground; }
    QString alarmColor() const { return colorAlarm; }
    QString alarmBackground() const { return colorAlarmBackground; }

signals:
    // Writing workers' statuses failed (reason as the database said it), or
    // worked again.
    void statusStoreFailed(const QString &reason);
    void statusStoreWorking();

private:
    QVariant displayValue(const DBStation &station, int column) const;
    static Qt::Alignment alignment(int column);

    // The last finished visit of a station, as far as this program saw it.
    struct LastVisit
    {
        bool failed = false;
        bool ended = false;     // a visit of this run ended
        QDateTime failingSince; // invalid: not seen when it began
        bool driftWarning = false;
        int failuresInRow = 0;
        QDateTime lastSuccess;
    };
    QString statusToolTip(const DBStation &station) const;
    void announceStation(int id);

    QList<DBStation> stationList;
    QHash<int, QString> statsSummaries;
    QHash<int, LastVisit> lastVisits;
    QHash<QString, QList<ChannelChecks::ActiveAlarm>> alarmsByCode;
    QString colorEnable;
    QString colorDisable;
    QString colorError;
    QString colorEnableBackground;
    QString colorDisableBackground;
    QString colorErrorBackground;
    QString colorDrift;
    QString colorDriftBackground;
    QString colorAlarm;
    QString colorAlarmBackground;
};
