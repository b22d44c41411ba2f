#pragma once

#include <QString>

class QTextStream;

// tqm510 --config-history CODE [--json]: a station's configuration entries
// with their differences, from the store the program is set to use.
class ConfigHistoryPrinter
{
public:
    ConfigHistoryPrinter(QTextStream &out, QTextStream &err) : out(out), err(err) {}
    // 0 printed, 1 the store cannot be opened or read, 3 no such station.
    int print(const QString &code, bool json);

private:
    QTextStream &out;
    QTextStream &err;
};
