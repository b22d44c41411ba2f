#pragma once

class QCommandLineParser;

// nexil-cli gaps: the holes and the completeness of data files; no device.
int gapsCommand(const QCommandLineParser &parser);
