#pragma once

// A series' points ordered by time, for the two questions the chart asks
// while the user moves around: which points are in view (to give them
// markers), and which point is nearest the pointer (for its tool tip).

#include <QPointF>
#include <QVector>

class PointIndex
{
public:
    PointIndex() = default;
    explicit PointIndex(QVector<QPointF> points);

    int size() const { return m_points.size(); }
    int countBetween(double fromX, double toX) const;
    // The points with fromX <= x <= toX, or none when there are more than limit.
    QVector<QPointF> between(double fromX, double toX, int limit) const;
    // The point nearest to target on screen, with xScale and yScale pixels per
    // unit; false when there are no points.
    bool nearest(const QPointF &target, double xScale, double yScale, QPointF *found) const;

private:
    QVector<QPointF>::const_iterator lower(double x) const;
    QVector<QPointF>::const_iterator upper(double x) const;

    QVector<QPointF> m_points;
};
