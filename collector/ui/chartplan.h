#pragma once

// What a chart of a data file shows, worked out without any chart object:
// the title, the time axis, and per chosen channel its points, its value
// axis and its daily extremes. The dialog turns this into series and axes.

#include "chartfile.h"
#include "collection/valuealarms.h"

#include <QColor>
#include <QHash>
#include <QString>
#include <QVector>

struct ChartDailySeries
{
    QString name;
    QString objectName;
    QColor colour;
    QVector<QPointF> points;
};

// What the store knows of a channel of a station's data file: the device
// slot it was read from, the slot's value alarms, and the values its
// quality tests found suspect (3) or failed (4), as the file's points.
struct ChartChannelChecks
{
    int slot = -1;
    ValueAlarms::Settings alarms;
    QVector<QPointF> suspect;
    QVector<QPointF> failed;
};

// A horizontal line at an alarm limit or its clearing limit.
struct ChartLimitLine
{
    // For the legend (the alarm limits') and the tool tip: which limit, its
    // value, and the channel when the chart has several.
    QString name;
    QString objectName; // "limit-high", "limit-high-clear", "limit-low", "limit-low-clear"
    double value = 0;
    bool clearing = false;
    QColor colour;
};

struct ChartChannelPlan
{
    ChartChannel channel;
    // Tool tips take their title and unit from this name: "name - unit".
    QString objectName;
    QString axisTitle;
    QVector<QPointF> points;
    QVector<ChartDailySeries> daily;
    QVector<ChartLimitLine> limits;
    // The values the quality tests marked, each a series of its own.
    QVector<ChartDailySeries> flagged;
    // The values drawn against this channel's axis, daily extremes and the
    // alarm limits included (a limit out of sight would say nothing).
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
// chosen, and each only when the file holds some. checks: by channel id,
// what the store knows of the channels (the chart of a station in it).
ChartPlan planChart(const ChartFile &file, const QVector<ChartChannel> &chosen, bool skipSensorErrors,
                    bool daily, const QHash<int, ChartChannelChecks> &checks = {});
