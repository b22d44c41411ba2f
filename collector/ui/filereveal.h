#pragma once

#include <QString>

class QObject;

#include <functional>

// Shows a file in the platform's file manager with the file selected, or a
// folder when there is no file. Returns at once; `failed` hears (perhaps
// later) when nothing could show it, with the reason.
namespace FileReveal {

// `owner` parents whatever the request needs while it runs.
void reveal(const QString &folder, const QString &file, QObject *owner,
            std::function<void(const QString &reason)> failed = {});

} // namespace FileReveal
