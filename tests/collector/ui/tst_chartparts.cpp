#include "nexil/excel/datafilewriter.h"
#include "ui/chartplan.h"
#include "ui/charttooltip.h"
#include "ui/pointindex.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

// What the chart shows, worked out without a window: the plan of series and
// axes, the tool tip text, and the index behind markers and hover.
class tst_ChartParts : public QObject
{
    Q_OBJECT

private slots:
    void planGivesSeriesAndAxes();
    void dailyExtremesNeedOneChannelAndMinima();
    void storeChecksAddLimitsAndFlaggedValues();
    void toolTipShowsTitleTimeValueAndUnit();
    void markersOnlyWhenFewInView();
    void nearestPointOnScreen();

private:
    ChartFile file(const QVector<datafile::Line> &lines);
    static qint64 at(const char *date, const char *time)
    {
        return QDateTime(QDate::fromString(QLatin1String(date), QStringLiteral("yyyy-MM-dd")),
                         QTime::fromString(QLatin1String(time), QStringLiteral("hh:mm")))
            .toMSecsSinceEpoch();
    }

    QTemporaryDir m_dir;
    const ChartChannel m_level{0, QStringLiteral("Seviye"), QStringLiteral("cm")};
    const ChartChannel m_broken{1, QStringLiteral("Sıcaklık"), QStringLiteral("°C")};
};

ChartFile tst_ChartParts::file(const QVector<datafile::Line> &lines)
{
    const QString path = m_dir.filePath(QStringLiteral("plan.xml"));
    if (!datafile::write(path, {{0, "AH", "Seviye", "cm"}, {1, "SC", "Sıcaklık", "°C"}}, lines))
        return ChartFile();
    return ChartFile::read(path);
}

void tst_ChartParts::planGivesSeriesAndAxes()
{
    const ChartFile data = file({{0, "INS", "2024-03-01", "10:00", 12.5},
                                 {1, "INS", "2024-02-28", "09:00", -9999},
                                 {0, "INS", "2024-03-02", "10:00", -8888},
                                 {0, "INS", "2024-03-01", "10:10", 14.0},
                                 {1, "INS", "2024-03-05", "09:00", -9999}});
    const ChartPlan plan = planChart(data, {m_level, m_broken}, true, false);
    QCOMPARE(plan.title, QStringLiteral("Kızılırmak - Söğütlü"));
    QCOMPARE(plan.channels.size(), 2);
    const ChartChannelPlan &level = plan.channels[0];
    QCOMPARE(level.objectName, QStringLiteral("Seviye - cm"));
    QCOMPARE(level.axisTitle, QStringLiteral("Seviye - cm"));
    QCOMPARE(level.points, (QVector<QPointF>{{double(at("2024-03-01", "10:00")), 12.5},
                                             {double(at("2024-03-01", "10:10")), 14.0}}));
    QVERIFY(level.hasValues);
    QCOMPARE(level.minValue, 12.5);
    QCOMPARE(level.maxValue, 14.0);
    // A channel of sensor errors still has its axis, but no values to span.
    QVERIFY(plan.channels[1].points.isEmpty());
    QVERIFY(!plan.channels[1].hasValues);
    QVERIFY(plan.hasTimes);
    QCOMPARE(plan.firstTime, at("2024-03-01", "10:00"));
    QCOMPARE(plan.lastTime, at("2024-03-01", "10:10"));

    // Unfiltered, the markers count as values and widen the time axis.
    const ChartPlan all = planChart(data, {m_level, m_broken}, false, false);
    QCOMPARE(all.channels[0].minValue, -8888.0);
    QCOMPARE(all.firstTime, at("2024-02-28", "09:00"));
    QCOMPARE(all.lastTime, at("2024-03-05", "09:00"));

    const ChartPlan none = planChart(data, {}, true, true);
    QVERIFY(none.channels.isEmpty());
    QVERIFY(!none.hasTimes);
}

void tst_ChartParts::storeChecksAddLimitsAndFlaggedValues()
{
    const ChartFile data = file({{0, "INS", "2024-03-01", "10:00", 12.5},
                                 {0, "INS", "2024-03-01", "10:10", 14.0},
                                 {1, "INS", "2024-03-01", "10:00", 7.0}});
    ChartChannelChecks level;
    QString why;
    QVERIFY(
        ValueAlarms::Settings::parse(QStringLiteral("high=20,18.5;low=1;rise=2,1h"), &level.alarms, &why));
    level.failed = {{double(at("2024-03-01", "10:10")), 14.0}};
    const QHash<int, ChartChannelChecks> checks{{0, level}};

    // Alone on the chart: names without the channel, the axis up to the
    // highest limit, one line per limit.
    const ChartChannelPlan one = planChart(data, {m_level}, true, false, checks).channels[0];
    QStringList names, objects;
    QVector<double> values;
    for (const ChartLimitLine &l : one.limits) {
        names << l.name;
        objects << l.objectName;
        values << l.value;
    }
    QCOMPARE(objects, QStringList({"limit-high", "limit-high-clear", "limit-low", "limit-low-clear"}));
    QCOMPARE(values, (QVector<double>{20, 18.5, 1, 1}));
    QCOMPARE(names.first(), QStringLiteral("High alarm 20 (clears below 18.5)"));
    QCOMPARE(names.at(3), QStringLiteral("Low alarm clears above 1"));
    QCOMPARE(one.minValue, 1.0);
    QCOMPARE(one.maxValue, 20.0);
    QCOMPARE(one.flagged.size(), 1);
    QCOMPARE(one.flagged[0].name, QStringLiteral("Failed"));
    QCOMPARE(one.flagged[0].objectName, QStringLiteral("Failed - cm"));
    QCOMPARE(one.flagged[0].points, level.failed);

    // Beside another channel each name tells its channel; that one has none.
    const ChartPlan two = planChart(data, {m_broken, m_level}, true, false, checks);
    QVERIFY(two.channels[0].limits.isEmpty() && two.channels[0].flagged.isEmpty());
    QCOMPARE(two.channels[0].maxValue, 7.0);
    QCOMPARE(two.channels[1].limits.first().name,
             QStringLiteral("Seviye: High alarm 20 (clears below 18.5)"));
    QCOMPARE(two.channels[1].flagged[0].objectName, QStringLiteral("Seviye: Failed - cm"));
}

void tst_ChartParts::dailyExtremesNeedOneChannelAndMinima()
{
    const ChartFile both = file({{0, "INS", "2024-03-01", "10:00", 12.5},
                                 {0, "MIN", "2024-03-01", "05:00", 2.0},
                                 {0, "MAX", "2024-03-01", "15:00", 30.0},
                                 {0, "AVG", "2024-03-02", "08:00", 9.0},
                                 {0, "MIN", "2024-03-02", "04:00", -9999}});
    const ChartPlan plan = planChart(both, {m_level}, true, true);
    const QVector<ChartDailySeries> &daily = plan.channels[0].daily;
    QCOMPARE(daily.size(), 2);
    QCOMPARE(daily[0].name, QStringLiteral("Günlük Minimum"));
    QCOMPARE(daily[0].objectName, QStringLiteral("Günlük Minimum - cm"));
    QCOMPARE(daily[0].colour, QColor(Qt::blue));
    // Daily values are not filtered for sensor errors.
    QCOMPARE(daily[0].points, (QVector<QPointF>{{double(at("2024-03-01", "05:00")), 2.0},
                                                {double(at("2024-03-02", "04:00")), -9999}}));
    QCOMPARE(daily[1].name, QStringLiteral("Günlük Maksimum"));
    QCOMPARE(daily[1].objectName, QStringLiteral("Günlük Maksimum - cm"));
    QCOMPARE(daily[1].colour, QColor(Qt::red));
    QCOMPARE(daily[1].points.size(), 1);
    // The value axis spans the extremes too.
    QCOMPARE(plan.channels[0].minValue, -9999.0);
    QCOMPARE(plan.channels[0].maxValue, 30.0);
    QCOMPARE(plan.lastTime, at("2024-03-02", "04:00"));

    QVERIFY(planChart(both, {m_level}, true, false).channels[0].daily.isEmpty());
    const ChartPlan two = planChart(both, {m_level, m_broken}, true, true);
    QVERIFY(two.channels[0].daily.isEmpty());
    QVERIFY(two.channels[1].daily.isEmpty());

    const ChartFile maximaOnly =
        file({{0, "INS", "2024-03-01", "10:00", 12.5}, {0, "MAX", "2024-03-01", "15:00", 30}});
    QVERIFY(planChart(maximaOnly, {m_level}, true, true).channels[0].daily.isEmpty());
    const ChartFile minimaOnly = file({{0, "MIN", "2024-03-01", "05:00", 1}});
    const ChartPlan minima = planChart(minimaOnly, {m_level}, true, true);
    QCOMPARE(minima.channels[0].daily.size(), 1);
    QCOMPARE(minima.channels[0].daily[0].name, QStringLiteral("Günlük Minimum"));
}

void tst_ChartParts::toolTipShowsTitleTimeValueAndUnit()
{
    const QPointF point(double(at("2024-03-01", "10:20")), 12.345678);
    const QString tip = chartToolTip(QStringLiteral("Seviye - cm"), point);
    QVERIFY(tip.startsWith(QStringLiteral("<html>   <head>   </head>   <body>       <table border='0' "
                                          "style='width:100%;background-color: #f1f1c1;'>")));
    QVERIFY(tip.contains(QStringLiteral("font-size: 15px;'>Seviye</td>")));
    QVERIFY(tip.contains(QStringLiteral("<th align='left'>Tarih</th>               <th align='center'>:</th>"
                                        "               <td>01.03.2024 10:20</td>")));
    QVERIFY(tip.contains(QStringLiteral("<th align='left'>Değer</th>               <th align='center'>:</th>"
                                        "               <td>12.3457 cm</td>")));
    QVERIFY(tip.endsWith(QStringLiteral("</table>   </table></html>")));

    // A hyphenated name: the title is what comes before the first hyphen.
    const QString hyphen = chartToolTip(QStringLiteral("Su-Seviyesi - m"), QPointF(point.x(), 1234567));
    QVERIFY(hyphen.contains(QStringLiteral("15px;'>Su</td>")));
    QVERIFY(hyphen.contains(QStringLiteral("<td>1.23457e+06 m</td>")));
    // Texts from the file are not filled in again.
    const QString percent = chartToolTip(QStringLiteral("Kanal %2 - %4"), QPointF(point.x(), -0.5));
    QVERIFY(percent.contains(QStringLiteral("15px;'>Kanal %2</td>")));
    QVERIFY(percent.contains(QStringLiteral("<td>-0.5 %4</td>")));
    QVERIFY(chartToolTip(QStringLiteral("Günlük Minimum - °C"), point)
                .contains(QStringLiteral("<td>12.3457 °C</td>")));
}

void tst_ChartParts::markersOnlyWhenFewInView()
{
    // Lines of later downloads may come earlier in time.
    const PointIndex index({{30, 3}, {10, 1}, {20, 2}, {20, 2.5}, {40, 4}});
    QCOMPARE(index.size(), 5);
    QCOMPARE(index.countBetween(15, 30), 3);
    QCOMPARE(index.between(15, 30, 3), (QVector<QPointF>{{20, 2}, {20, 2.5}, {30, 3}}));
    QVERIFY(index.between(15, 30, 2).isEmpty());
    QCOMPARE(index.between(0, 100, 5).size(), 5);
    QVERIFY(index.between(41, 100, 5).isEmpty());
    QVERIFY(index.between(30, 10, 5).isEmpty());
    QVERIFY(PointIndex().between(0, 1, 5).isEmpty());
}

void tst_ChartParts::nearestPointOnScreen()
{
    const PointIndex two({{0, 0}, {10, 100}});
    QPointF found;
    QVERIFY(two.nearest({6, 0}, 1, 1, &found));
    QCOMPARE(found, QPointF(0, 0));
    // A value axis a thousand times shorter on screen: the later point is nearer.
    QVERIFY(two.nearest({6, 0}, 1, 0.001, &found));
    QCOMPARE(found, QPointF(10, 100));
    QVERIFY(!PointIndex().nearest({0, 0}, 1, 1, &found));

    QVector<QPointF> points;
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i)
        points.append(QPointF(random.bounded(1000.0), random.bounded(50.0)));
    const PointIndex index(points);
    for (int i = 0; i < 200; ++i) {
        const QPointF target(random.bounded(1200.0) - 100, random.bounded(60.0) - 5);
        const double xScale = 0.5, yScale = 8;
        auto distance = [&](const QPointF &p) {
            return std::pow((p.x() - target.x()) * xScale, 2) + std::pow((p.y() - target.y()) * yScale, 2);
        };
        QPointF best = points[0];
        for (const QPointF &p : points)
            if (distance(p) < distance(best))
                best = p;
        QVERIFY(index.nearest(target, xScale, yScale, &found));
        QCOMPARE(distance(found), distance(best));
    }
}

QTEST_GUILESS_MAIN(tst_ChartParts)
#include "tst_chartparts.moc"
