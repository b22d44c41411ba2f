#pragma once

// --modem: the simulator plays the station modem's setup commands on the
// link instead of the datalogger protocol.

#include <QString>

class QCoreApplication;

namespace loggersim {

class Transport;

// How the modem's answers reach the line: after delayMs, in pieces of at
// most split bytes (0: whole) written gapMs apart.
struct ModemFaults
{
    int split = 0;
    int delayMs = 0;
    int gapMs = 0;
};

// Runs the modem on the open link until the program ends; returns the exit status.
int runModem(QCoreApplication &app, Transport *link, const QString &scenarioFile, const QString &readyFile,
             const QString &logFile, const ModemFaults &faults = ModemFaults());

} // namespace loggersim
