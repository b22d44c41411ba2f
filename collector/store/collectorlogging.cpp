#include "collectorlogging.h"

Q_LOGGING_CATEGORY(lcStore, "collector.store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWorker, "collector.worker", QtInfoMsg)
Q_LOGGING_CATEGORY(lcController, "collector.controller", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMonitor, "collector.monitor", QtInfoMsg)
Q_LOGGING_CATEGORY(lcConsole, "collector.console", QtInfoMsg)
