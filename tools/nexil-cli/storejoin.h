#pragma once

#include "store/valueflags.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// gaps and export with --database: each data file joined with the values
// the station store holds for it (committed through any collector's
// folder), written into tempDir. Without --database the files as given.
// flags (when given, and only with --database): the store's flags of the
// station's values from `from` to `to` (wall clock, invalid: open).
bool joinWithStore(const QCommandLineParser &parser, const QStringList &files, const QString &tempDir,
                   QStringList *out, QString *problem, ValueFlags::Source *flags = nullptr,
                   const QDateTime &from = QDateTime(), const QDateTime &to = QDateTime());
