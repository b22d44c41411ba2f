#pragma once

#include <QString>

class QObject;

// Shows a file in the platform's file manager with the file selected, or a
// folder when there is no file. Returns at once; nothing is reported.
namespace FileReveal {

// `owner` parents whatever the request needs while it runs.
void reveal(const QString &folder, const QString &file, QObject *owner);

} // namespace FileReveal
