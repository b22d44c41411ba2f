#include "manningtable.h"

#include <cmath>

namespace {
const float twoThirds = 2.0f / 3.0f;
}

float levelLimit(double maxLevelMetres)
{
    // Converting to float absorbs the double's error: 0.29 * 100 becomes 29.
    return float(maxLevelMetres * 100.0);
}

QVector<ManningRow> manningTable(const ChannelParameters &p)
{
    QVector<ManningRow> rows;
    if (!(p.limit >= 0.0f) || !(p.roughness > 0.0f))
        return rows;
    const float b = p.baseWidth;
    const float z = p.sideSlope;
    const float slopeRoot = std::pow(p.slope < 0.0f ? 0.0f : p.slope, 0.5f);
    const float inverseN = 1.0f / p.roughness;
    rows.reserve(int(p.limit) + 1);
    for (int i = 0; float(i) <= p.limit; ++i) {
        ManningRow row;
        const float h = float(i) / 100.0f;
        const float zh = h * z;
        const float area = h * (b + (2.0f * zh + b)) / 2.0f;
        const float side = std::sqrt(zh * zh + h * h);
        const float perimeter = 2.0f * side + b;
        // An empty channel without a base has no perimeter; it carries nothing.
        const float radius = perimeter > 0.0f ? area / perimeter : 0.0f;
        const float velocity = std::pow(radius, twoThirds) * inverseN * slopeRoot;
        row.level = h;
        row.area = area;
        row.velocity = velocity;
        row.discharge = velocity * area;
        rows.append(row);
    }
    return rows;
}
