#pragma once

// --truth: the values written into memory as CSV (time,type,channel,value),
// appended as the memory grows. channel is the position among the active
// slots, as the host's DataLine.channel; AVG and TOT carry the day-end stamp
// the host computes.

#include "memory.h"

#include <QFile>

namespace loggersim {

class TruthWriter
{
public:
    bool open(const QString &path, QString *error);
    // Writes the rows not written yet.
    void update(const Memory &memory);
    static QByteArray row(const TruthRow &r);

private:
    QFile m_file;
    int m_written = 0;
};

} // namespace loggersim
