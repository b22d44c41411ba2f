#include "chartplan.h"

#include <QCoreApplication>
#include <QLocale>

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

void widenValues(ChartChannelPlan &channel, double value)
{
    if (!channel.hasValues) {
        channel.hasValues = true;
        channel.minValue = channel.maxValue = value;
    }
    channel.minValue = std::min(channel.minValue, value);
    channel.maxValue = std::max(channel.maxValue, value);
}

QString number(double value)
{
    return QLocale().toString(value, 'g', 6);
}

// prefixed: several channels share the chart, so each name tells its channel.
void addChecks(ChartChannelPlan &c, const ChartChannelChecks &checks, bool prefixed)
{
    const ValueAlarms::Settings &a = checks.alarms;
    const QString prefix = prefixed ? c.channel.name + QStringLiteral(": ") : QString();
    const QColor high(QStringLiteral("#C62828")), low(QStringLiteral("#1565C0"));
    // The clearing limit is told in its alarm's legend entry: one per alarm.
    if (a.high) {
        c.limits.append(
            {prefix + QCoreApplication::translate("DialogGraphic", "High alarm %1 (clears below %2)")
                          .arg(number(a.highLimit), number(a.highClear)),
             QStringLiteral("limit-high"), a.highLimit, false, high});
        c.limits.append({prefix + QCoreApplication::translate("DialogGraphic", "High alarm clears below %1")
                                      .arg(number(a.highClear)),
                         QStringLiteral("limit-high-clear"), a.highClear, true, high});
    }
    if (a.low) {
        c.limits.append(
            {prefix + QCoreApplication::translate("DialogGraphic", "Low alarm %1 (clears above %2)")
                          .arg(number(a.lowLimit), number(a.lowClear)),
             QStringLiteral("limit-low"), a.lowLimit, false, low});
        c.limits.append({prefix + QCoreApplication::translate("DialogGraphic", "Low alarm clears above %1")
                                      .arg(number(a.lowClear)),
                         QStringLiteral("limit-low-clear"), a.lowClear, true, low});
    }
    for (const ChartLimitLine &line : qAsConst(c.limits))
        widenValues(c, line.value);
    const struct
    {
        const char *name;
        const char *colour;
        const QVector<QPointF> &points;
    } marks[] = {{QT_TRANSLATE_NOOP("DialogGraphic", "Suspect"), "#FF8F00", checks.suspect},
                 {QT_TRANSLATE_NOOP("DialogGraphic", "Failed"), "#000000", checks.failed}};
    for (const auto &m : marks) {
        if (m.points.isEmpty())
            continue;
        ChartDailySeries series;
        series.name = prefix + QCoreApplication::translate("DialogGraphic", m.name);
        // Tool tips take their title and unit from it.
        series.objectName = series.name + QStringLiteral(" - ") + c.channel.unit;
        series.colour = QColor(QLatin1String(m.colour));
        series.points = m.points;
        c.flagged.append(series);
    }
}

} // namespace

ChartPlan planChart(const ChartFile &file, const QVector<ChartChannel> &chosen, bool skipSensorErrors,
                    bool daily, const QHash<int, ChartChannelChecks> &checks)
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
        const auto found = checks.constFind(channel.id);
        if (found != checks.constEnd())
            addChecks(c, found.value(), chosen.size() > 1);
        plan.channels.append(c);
    }
    return plan;
}
