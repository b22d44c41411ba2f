#pragma once

// Diagnostic categories of the library, debug output off unless switched on
// through QT_LOGGING_RULES (for example "nexil.*=true") or a program's
// --verbose flag.

#include "nexil/nexil_global.h"

#include <QLoggingCategory>

NEXIL_EXPORT const QLoggingCategory &lcProtocol();      // nexil.protocol
NEXIL_EXPORT const QLoggingCategory &lcDownload();      // nexil.download
NEXIL_EXPORT const QLoggingCategory &lcFiles();         // nexil.files
NEXIL_EXPORT const QLoggingCategory &lcExcel();         // nexil.excel
NEXIL_EXPORT const QLoggingCategory &lcConfiguration(); // nexil.configuration

// Turns on the debug output of the given category prefixes ("nexil",
// "collector", ...), keeping whatever QT_LOGGING_RULES already asks for.
NEXIL_EXPORT void enableDebugOutput(const QStringList &prefixes);
