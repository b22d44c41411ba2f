#pragma once

// Where the next download of a device starts: the memory write position
// stored in the data file, the time base kept beside it, and the time of the
// last value recorded right after the device's clock was set (files written
// before the base was kept). Read in one streaming pass.

#include <QString>

class QIODevice;

struct ResumePoint
{
    int page = 0;
    int buffer = 0;
    bool hasTime = false;
    QString date;
    QString time;
    // The memory element's time base, "yyyy-MM-dd hh:mm" (empty: none).
    QString timeBase;

    // False when the file is not well-formed; the fields then stay as a
    // file without any elements would leave them.
    bool read(QIODevice *device);
};
