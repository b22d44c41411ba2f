#include "memoryforecast.h"

#include <cmath>

namespace {

// Far enough to mean "not in sight", near enough for a date.
constexpr double maxDays = 36500.0;

qint64 msOfDays(double days)
{
    return qint64(qBound(0.0, days, maxDays) * 86400000.0);
}

} // namespace

void MemoryForecast::addSample(QList<Sample> &samples, const Sample &sample)
{
    if (!sample.first.isValid() || !std::isfinite(sample.second))
        return;
    if (!samples.isEmpty() && sample.second < samples.last().second)
        samples.clear();
    samples.append(sample);
    while (samples.size() > maxSamples)
        samples.removeFirst();
}

MemoryForecast::Outlook MemoryForecast::forecast(const QList<Sample> &samples, const QDateTime &lastRead,
                                                 const QDateTime &now, int warnDays)
{
    Outlook o;
    if (samples.size() < 2)
        return o;
    // Least squares over the series, in days from its first sample.
    const QDateTime origin = samples.first().first;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample &s : samples) {
        const double x = origin.msecsTo(s.first) / 86400000.0;
        sx += x;
        sy += s.second;
        sxx += x * x;
        sxy += x * s.second;
    }
    const double n = samples.size();
    const double denominator = n * sxx - sx * sx;
    if (denominator <= 1e-12)
        return o;
    const double slope = (n * sxy - sx * sy) / denominator;
    if (!(slope > 1e-9))
        return o;
    o.known = true;
    o.percentPerDay = slope;
    const Sample &last = samples.last();
    o.full = last.first.addMSecs(msOfDays((100.0 - last.second) / slope));
        const QDateTime read = lastRead.isValid() ? lastRead : origin;
    const QDateTime lapped = read.addMSecs(msOfDays(100.0 / slope));
    o.overwrite = qMax(o.full, lapped);
    o.warning = now.secsTo(o.overwrite) <= qint64(warnDays) * 86400;
    return o;
}
