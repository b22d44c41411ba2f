#include "stationfiltermodel.h"

#include "store/stationtablemodel.h"

StationFilterModel::StationFilterModel(QObject *parent) : QSortFilterProxyModel(parent)
{
    // Statuses change all the time: a station that starts or stops failing
    // comes and goes at once.
    setDynamicSortFilter(true);
}

void StationFilterModel::setStations(StationTableModel *model)
{
    m_stations = model;
    setSourceModel(model);
}

void StationFilterModel::setText(const QString &text)
{
    const QString simplified = text.simplified();
    if (simplified == m_text)
        return;
    m_text = simplified;
    invalidateFilter();
}

void StationFilterModel::setKind(Kind kind)
{
    if (kind == m_kind)
        return;
    m_kind = kind;
    invalidateFilter();
}

bool StationFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (!m_stations || sourceRow < 0 || sourceRow >= m_stations->rowCount())
        return true;
    const DBStation s = m_stations->stations().at(sourceRow);
    if (m_kind == OnlyFailing && !m_stations->isFailing(s))
        return false;
    if (m_kind == OnlyDrift && !(m_stations->hasDriftWarning(s) && !m_stations->isFailing(s)))
        return false;
    if (m_kind == OnlyAlarm && !m_stations->hasValueAlarm(s))
        return false;
    if (m_kind == OnlyInactive && s.active)
        return false;
    if (m_text.isEmpty())
        return true;
    return s.code.contains(m_text, Qt::CaseInsensitive) || s.title.contains(m_text, Qt::CaseInsensitive) ||
           s.status.contains(m_text, Qt::CaseInsensitive) ||
           StationTableModel::shownStatus(s.status).contains(m_text, Qt::CaseInsensitive);
}
