#pragma once

// What a chart of a data file shows, worked out without any chart object:
// the title, the time axis, and per chosen channel its points, its value
// axis and its daily extremes. The dialog turns this into series and axes.

#include "chartfile.h"

#include <QColor>
#include <QString>
#include <QVector>

struct ChartDailySeries
{
    QString name;
    QString objectName;
    QColor colour;
    QVector<QPointF> points;
};

struct ChartChannelPlan
{
    ChartChannel channel;
    // Tool tips take their title and unit from this name: "name - unit".
    QString objectName;
    QString axisTitle;
    QVector<QPointF> points;
    QVector<ChartDailySeries> daily;
    // The values drawn against this channel's axis, daily extremes included.
    bool hasValues = false;
    double minValue = 0;
    double maxValue = 0;
};

struct ChartPlan
{
    static const QString timeFormat;
    static constexpr int timeTickCount = 10;
    // Above this many points in view a channel's markers are left out: one
    // graphics item per point makes every layout and repaint crawl.
    static constexpr int markerLimit = 1500;

    QString title;
    QVector<ChartChannelPlan> channels;
    bool hasTimes = false;
    qint64 firstTime = 0;
    qint64 lastTime = 0;
};

// Daily extremes are drawn only when daily is set and exactly one channel is
// chosen, and each only when the file holds some.
ChartPlan planChart(const ChartFile &file, const QVector<ChartChannel> &chosen, bool skipSensorErrors,
                    bool daily);
