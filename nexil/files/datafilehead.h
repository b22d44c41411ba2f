#pragma once

#include "nexil/nexil_global.h"

#include <QString>

// What a data file's header says of the memory position it holds, and
// whether the file ends as a whole file does, read without going through
// its lines: a year of values costs no more than a day.
struct NEXIL_EXPORT DataFileHead
{
    bool exists = false;
    // The header was read and the file ends with its root's end tag.
    bool whole = false;
    int page = 0;
    int buffer = 0;
    QString timeBase;

    static DataFileHead read(const QString &path);
};
