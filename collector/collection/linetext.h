#pragma once

#include <QString>

// Texts from the store or a device written into line-oriented outputs
// (status lines, the status table, service manager messages, mail subjects):
// a control character must not start a new line or a new assignment.
namespace LineText {

// Line breaks and tabs as \n, \r, \t, other control characters as \xHH or
// \uHHHH; everything else unchanged.
QString oneLine(const QString &text);

} // namespace LineText
