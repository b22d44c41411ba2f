#include "chartplan.h"

#include <QCoreApplication>

#include <algorithm>

const QString ChartPlan::timeFormat = QStringLiteral("yyyy-MM-dd<br>hh:mm");

namespace {

void widen(ChartChannelPlan &channel, ChartPlan &plan, const QVector<QPointF> &points)
{
    for (const QPointF &p : points) {
        const qint64 t = qint64(p.x());
        if (!plan.hasTimes) {
            plan.hasTimes = true;
            plan.firstTime = plan.lastTime = t;
        }
        plan.firstTime = std::min(plan.firstTime, t);
        plan.lastTime = std::max(plan.lastTime, t);
        if (!channel.hasValues) {
            channel.hasValues = true;
            channel.minValue = channel.maxValue = p.y();
        }
        channel.minValue = std::min(channel.minValue, p.y());
        channel.maxValue = std::max(channel.maxValue, p.y());
    }
}

} // namespace

ChartPlan planChart(const ChartFile &file, const QVector<ChartChannel> &chosen, bool skipSensorErrors,
                    bool daily)
{
    ChartPlan plan;
    plan.title = file.stationName();
    for (const ChartChannel &channel : chosen) {
        ChartChannelPlan c;
        c.channel = channel;
        c.objectName = channel.name + QStringLiteral(" - ") + channel.unit;
        c.axisTitle = c.objectName;
        c.points = file.points(channel.id, ChartFile::Instant, skipSensorErrors);
        widen(c, plan, c.points);
        if (daily && chosen.size() == 1) {
            ChartDailySeries minimum;
            minimum.name = QCoreApplication::translate("DialogGraphic", "Günlük Minimum");
            minimum.objectName = QStringLiteral("Günlük Minimum - ") + channel.unit;
            minimum.colour = QColor(QStringLiteral("blue"));
            minimum.points = file.points(channel.id, ChartFile::DailyMinimum);
            ChartDailySeries maximum;
            maximum.name = QCoreApplication::translate("DialogGraphic", "Günlük Maksimum");
            maximum.objectName = QStringLiteral("Günlük Maksimum - ") + channel.unit;
            maximum.colour = QColor(QStringLiteral("red"));
            maximum.points = file.points(channel.id, ChartFile::DailyMaximum);
            // Without minima there are no daily series at all, maxima or not.
            if (!minimum.points.isEmpty()) {
                widen(c, plan, minimum.points);
                c.daily.append(minimum);
                if (!maximum.points.isEmpty()) {
                    widen(c, plan, maximum.points);
                    c.daily.append(maximum);
                }
            }
        }
        plan.channels.append(c);
    }
    return plan;
}
