#pragma once

// Appends one download to a data file by streaming the existing file into a
// new one, so a year of lines never has to fit in memory as a document. The
// text export is written in the same pass. Both files are replaced only when
// complete.

#include "dataformat.h"

#include <QList>
#include <QString>

class QIODevice;
class QSaveFile;
class QXmlStreamReader;
class QXmlStreamWriter;
class TextExporter;
struct DataLine;

class DataFileAppender
{
public:
    enum Result {
        Saved = 0,
        SourceUnreadable = 1,
        WriteFailed = 2,
    };

    // An empty textPath skips the text export.
    DataFileAppender(const QString &path, const QString &textPath);

    // fresh: the header built from the download, used when the file is new.
    Result append(const DataFileHeader &fresh, const DataFile &dataFile);

private:
    enum Copy { Copied, SourceCorrupt, OutputFailed };

    struct Output;

    Copy copyExisting(QIODevice &source, Output &out, const DataFile &dataFile);
    bool copyFirstData(QIODevice &source, Output &out);
    void copyLines(QXmlStreamReader &reader, Output &out);
    bool openOutput(Output &out);
    void start(Output &out, const DataFileHeader &header);
    void finish(Output &out, const QList<DataLine> &lines);
    Result commit(Output &out, bool moveAside);

    QString path;
    QString textPath;
};
