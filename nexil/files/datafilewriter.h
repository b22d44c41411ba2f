#pragma once

// Writes the XML data file in its one canonical form: the layout of an
// auto-formatting QXmlStreamWriter. The text collects in a buffer that goes
// to the device in large UTF-8 chunks, and the many plain lines are laid out
// directly; through the writer they cost more than reading the old file.

#include "dataformat.h"
#include "nexil/nexil_global.h"

#include <QString>
#include <QXmlStreamWriter>

class QIODevice;

class NEXIL_EXPORT DataFileWriter
{
public:
    // Spaces after the memory element, so that a later save can rewrite the
    // header in place when its numbers grow.
    static constexpr int headerSlack = 64;

    explicit DataFileWriter(QIODevice *output);

    // The bytes from the start of a file with this header up to the end of
    // its memory element.
    static QByteArray headerPrefix(const DataFileHeader &header);
    // The header element alone, as a file with this header writes it.
    static QByteArray headerElement(const DataFileHeader &header);

    // Declaration, root, header and the empty alarms; leaves `data` open.
    void writeStart(const DataFileHeader &header);
    // Goes on with the lines of an existing `data` element, instead of
    // writeStart (hasLines: it holds lines already).
    void resumeData(bool hasLines) { this->hasLines = hasLines; }
    void writeLine(const DataFileLine &line);
    // Closes `data`, the root and the document, and flushes.
    void writeEnd();
    bool failed() const { return writeFailed; }

private:
    void flush();

    QIODevice *out;
    QString text;
    QXmlStreamWriter writer;
    bool writeFailed = false;
    bool hasLines = false;
};
