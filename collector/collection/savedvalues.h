#pragma once

#include <QHash>
#include <QString>
#include <QVector>

// The measured values one visit saved into a data file, as the completeness
// counts need them, with the file's size and time before and after the save:
// the counts go on from the values only while nobody else wrote the file.
struct SavedValues
{
    struct Value
    {
        int channel = 0;
        qint64 minute = 0; // Julian day × 1440 + minute of the day
        bool sensorError = false;
    };

    QString file;           // empty: nothing was saved
    qint64 sizeBefore = -1; // -1: the file did not exist
    qint64 modifiedBefore = 0;
    qint64 sizeAfter = -1;
    qint64 modifiedAfter = 0;
    // When the file was new: the last change of the station's other data
    // files (msecs, 0: there are none), looked up by the saving thread so
    // that the main thread touches no folder; -1: not looked up.
    qint64 newestOther = -1;
    QHash<int, int> steps; // channel -> recording interval in minutes
    QVector<Value> values;
};
