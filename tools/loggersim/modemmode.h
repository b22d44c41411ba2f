#pragma once

// --modem: the simulator plays the station modem's setup commands on the
// link instead of the datalogger protocol.

#include <QString>

class QCoreApplication;

namespace loggersim {

class Transport;

// Runs the modem on the open link until the program ends; returns the exit status.
int runModem(QCoreApplication &app, Transport *link, const QString &scenarioFile, const QString &readyFile,
             const QString &logFile);

} // namespace loggersim
