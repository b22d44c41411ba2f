#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// gaps and export with --database: each data file joined with the values
// the station store holds for it (committed through any collector's
// folder), written into tempDir. Without --database the files as given.
bool joinWithStore(const QCommandLineParser &parser, const QStringList &files, const QString &tempDir,
                   QStringList *out, QString *problem);
