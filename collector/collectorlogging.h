#pragma once

// Diagnostic categories of the collector; debug output is off unless
// QT_LOGGING_RULES or --verbose turns it on.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStore)      // collector.store
Q_DECLARE_LOGGING_CATEGORY(lcWorker)     // collector.worker
Q_DECLARE_LOGGING_CATEGORY(lcController) // collector.controller
Q_DECLARE_LOGGING_CATEGORY(lcMonitor)    // collector.monitor
Q_DECLARE_LOGGING_CATEGORY(lcConsole)    // collector.console
