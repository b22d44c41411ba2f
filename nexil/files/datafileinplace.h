#pragma once

// Appends one download to a data file where it stands: the new lines and
// the file's closing part are written over the old closing part, and the
// header's changing numbers over the old ones, in the room the writer left
// after them. The text export is appended the same way. A visit then costs
// the same whatever the file already holds. Files not in the writer's own
// layout, or whose numbers outgrow the room, are left to the full rewrite.

#include <QString>

struct DataFile;

class DataFileInPlace
{
public:
    enum Result { Appended, NotApplicable, WriteFailed };

    // An empty textPath skips the text export.
    static Result append(const QString &path, const QString &textPath, const DataFile &dataFile);
};
