#pragma once

#include "nexil/files/gapfinder.h"
#include "nexil/nexil_global.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// The gap finder's result as JSON and the dates its ranges are given in:
// shared by the command line and the collector's web API, so both give the
// same answer for the same files.
namespace GapJson {

// "yyyy-MM-dd" or "yyyy-MM-ddTHH:mm" (a space instead of the T also does),
// read as the device's wall-clock time; a bare date at the end of a range
// means the whole day. False for anything else.
NEXIL_EXPORT bool parseDate(const QString &text, bool endOfRange, QDateTime *out);

NEXIL_EXPORT QJsonObject toJson(const GapFinder &finder);

} // namespace GapJson
