#include "pointindex.h"

#include <algorithm>
#include <limits>

PointIndex::PointIndex(QVector<QPointF> points) : m_points(std::move(points))
{
    std::stable_sort(m_points.begin(), m_points.end(),
                     [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
}

QVector<QPointF>::const_iterator PointIndex::lower(double x) const
{
    return std::lower_bound(m_points.cbegin(), m_points.cend(), x,
                            [](const QPointF &p, double v) { return p.x() < v; });
}

QVector<QPointF>::const_iterator PointIndex::upper(double x) const
{
    return std::upper_bound(m_points.cbegin(), m_points.cend(), x,
                            [](double v, const QPointF &p) { return v < p.x(); });
}

int PointIndex::countBetween(double fromX, double toX) const
{
    if (toX < fromX)
        return 0;
    return int(upper(toX) - lower(fromX));
}

QVector<QPointF> PointIndex::between(double fromX, double toX, int limit) const
{
    if (countBetween(fromX, toX) > limit || toX < fromX)
        return {};
    QVector<QPointF> points;
    std::copy(lower(fromX), upper(toX), std::back_inserter(points));
    return points;
}

bool PointIndex::nearest(const QPointF &target, double xScale, double yScale, QPointF *found) const
{
    if (m_points.isEmpty())
        return false;
    double best = std::numeric_limits<double>::infinity();
    const auto start = lower(target.x());
    // Walk outwards from the pointer's time until the time alone is farther
    // than the best point found.
    auto consider = [&](const QPointF &p) {
        const double dx = (p.x() - target.x()) * xScale;
        if (dx * dx > best)
            return false;
        const double dy = (p.y() - target.y()) * yScale;
        if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            *found = p;
        }
        return true;
    };
    for (auto it = start; it != m_points.cend() && consider(*it); ++it) {
    }
    for (auto it = start; it != m_points.cbegin() && consider(*(it - 1)); --it) {
    }
    return true;
}
