#pragma once

class QCommandLineParser;

// nexil-cli export: data files as WaterML 2.0, ZRXP or CSV; no device.
int exportCommand(const QCommandLineParser &parser);
