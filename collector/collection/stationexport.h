#pragma once

#include "nexil/files/seriesexporter.h"

#include <QString>
#include <QStringList>

// The exchange-format copies of a station's data file, written beside it
// after each visit as the text export is: FOLDER/NAME.wml2.xml, NAME.zrx,
// NAME.csv, NAME being the data file's name up to its first dot. Each file
// is replaced only once it is whole.
class StationExport
{
public:
    // `formats`: "waterml2", "zrxp", "csv". The paths written; a format that
    // failed is named in *errors and leaves its old file as it was.
    static QStringList write(const QString &dataFilePath, const QStringList &formats, int utcOffsetMinutes,
                             SeriesExporter::Locale csvLocale, QStringList *errors);
};
