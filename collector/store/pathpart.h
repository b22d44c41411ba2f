#pragma once

#include <QString>

// Texts from a device or the store (a station code, a stored file name)
// that become part of a file or folder name. Whatever they hold, the result
// names one entry inside the folder it is put in: never a separator, a
// parent or a hidden entry, never a control character.
class PathPart
{
public:
    // Separators, characters no file system takes and control characters
    // become '_', leading dots and surrounding blanks go; empty when
    // nothing usable is left ("", ".", "..").
    static QString fileName(const QString &text);
    // True when `text` can be used as it is.
    static bool isSafe(const QString &text) { return !text.isEmpty() && fileName(text) == text; }
};
