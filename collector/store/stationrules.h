#pragma once

#include "dbstation.h"

#include <QList>
#include <QString>

// The rules a station's code and address follow wherever a station is
// entered (the station editor, --add-station) and, for the code's
// uniqueness, in the store itself. Each check returns why the value cannot
// be used, or an empty text when it can.
namespace StationRules {

// Codes are at most this long, as the device holds them.
constexpr int MaxCodeLength = 24;

// 1 to 24 characters that can name a folder or a file as they are (see
// PathPart), without a comma (lists of codes are comma-separated) and
// without blanks at either end or twice in a row. The code names the
// station's folder and files; uniqueness is exact.
QString codeProblem(const QString &code);
// The code is taken by another station of `stations` (not `ownId`).
QString codeTakenProblem(const QString &code, int ownId, const QList<DBStation> &stations);
// An IPv4 address (four numbers 0-255), an IPv6 address or a host name of
// letters, digits, '-' and '.'; "0.0.0.0" and an empty text are no address.
QString hostProblem(const QString &host);
// 1 to 65535.
QString portProblem(int port);

} // namespace StationRules
