#pragma once

#include <QString>

// Finding a station's saved data files in its directory.
namespace StationFiles {

// The first file "<name>*.xml" of the directory in name order, as an absolute
// path; empty when there is none.
QString firstDataFile(const QString &directory, const QString &name);

// The newest data file "<directory>/<name>_<ddMMyyyy>.xml" by the date in its
// name; empty when no file of that form exists. Files whose date does not read
// are ignored.
QString latestDataFile(const QString &directory, const QString &name);

} // namespace StationFiles
