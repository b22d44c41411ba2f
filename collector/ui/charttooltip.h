#pragma once

// The tool tip of a point: the series' object name "title - unit", the
// point's local time and its value.

#include <QPointF>
#include <QString>

QString chartToolTip(const QString &objectName, const QPointF &point);
