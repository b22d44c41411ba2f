#pragma once

// Appends one download to a data file by streaming the existing file into a
// new one, so a year of lines never has to fit in memory as a document. The
// text export is written in the same pass. Both files are replaced only when
// complete.

#include "dataformat.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

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

    // Lines that belong in the file, written after its own lines unless it
    // already holds a line of the same channel, type, date and time. A file
    // cut or torn keeps every line read before the damage.
    struct Completion
    {
        QList<DataFileLine> lines;
        // Afterwards: how many were written, and whether the file was damaged.
        int added = 0;
        bool damaged = false;
    };

    // fresh: the header built from the download, used when the file is new.
    // With a completion the download's own lines are not written: its lines
    // stand in for them.
    Result append(const DataFileHeader &fresh, const DataFile &dataFile, Completion *completion = nullptr);

    static QString lineKey(const DataFileLine &line);

private:
    enum Copy { Copied, SourceCorrupt, OutputFailed };

    struct Output;

    Copy copyExisting(QIODevice &source, Output &out, const DataFile &dataFile);
    bool copyFirstData(QIODevice &source, Output &out);
    void copyLines(QXmlStreamReader &reader, Output &out);
    bool openOutput(Output &out);
    void start(Output &out, const DataFileHeader &header);
    void finish(Output &out, const QList<DataLine> &lines);
    void finishCompletion(Output &out);
    Result commit(Output &out, bool moveAside);

    QString path;
    QString textPath;
    Completion *completion = nullptr;
    // Keys of the completion's lines that the file already holds.
    QHash<QString, int> wanted;
    QVector<bool> present;
};
