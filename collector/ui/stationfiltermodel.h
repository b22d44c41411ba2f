#pragma once

#include <QSortFilterProxyModel>

class StationTableModel;

// The station table as the window shows it: sorted, and narrowed to the
// stations whose code, title or status holds a text, and to the failing
// (active, last visit failed), the clock-drift warnings, the value alarms or
// the inactive ones.
class StationFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    enum Kind { AllStations, OnlyFailing, OnlyInactive, OnlyDrift, OnlyAlarm };

    explicit StationFilterModel(QObject *parent = nullptr);

    void setStations(StationTableModel *model);
    void setText(const QString &text);
    void setKind(Kind kind);
    QString text() const { return m_text; }
    Kind kind() const { return m_kind; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    StationTableModel *m_stations = nullptr;
    QString m_text;
    Kind m_kind = AllStations;
};
