#pragma once

class QCommandLineParser;

// Runs the command named on the command line; returns the exit status.
int runCommand(const QCommandLineParser &parser);
