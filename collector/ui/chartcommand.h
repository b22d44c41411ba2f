#pragma once

// tqm510 --chart [FILE] [--channels 0,4,8] [--daily] [--png OUT.png [--size 1600x900]] [--workdir DIR]
// The chart viewer on one data file without the station table (on none when
// FILE is left out); with --png it draws the chart offscreen into the image
// and exits, for scripts that publish charts. The window takes the working
// folder's language, like the main window.

#include <QStringList>

class QTextStream;

// True when the command line asks for the chart viewer.
bool isChartCommand(int argc, char **argv);

// Creates the application and runs the command. With --png and no platform
// named in QT_QPA_PLATFORM it draws offscreen, so it also runs from cron or
// over ssh without a display.
int chartMain(int argc, char **argv);

// Runs the command inside a running application; arguments start with the
// program's name. Exit status 0, 1 when the file cannot be read or the image
// not written (the reason on err), 2 for a usage error.
int runChartCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
