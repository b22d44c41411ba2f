#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>

// When a device's memory fills up, from the fill it reported at the last
// visits. The memory is a ring: once full, new records overwrite the oldest,
// so data not read by then is lost once the device has written a whole
// memory's worth since the last successful reading.
class MemoryForecast
{
public:
    using Sample = QPair<QDateTime, double>; // time, fill in percent

    struct Outlook
    {
        bool known = false;      // the fill grows: a forecast exists
        double percentPerDay = 0.0;
        QDateTime full;          // the fill reaches 100 %
        QDateTime overwrite;     // data unread since the last reading starts to be lost
        bool warning = false;    // overwrite within the warning days
    };

    // How many samples are kept and used.
    static constexpr int maxSamples = 16;

    // Appends a sample; a fill that drops (memory cleared or wrapped) starts
    // the series again.
    static void addSample(QList<Sample> &samples, const Sample &sample);

    static Outlook forecast(const QList<Sample> &samples, const QDateTime &lastRead, const QDateTime &now,
                            int warnDays);
};
