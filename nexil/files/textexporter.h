#pragma once

// The pipe-separated text copy of a data file. Fed the header and then the
// lines in file order, from a document or straight from the stream being
// saved; the bytes are the same either way.

#include "dataformat.h"

#include <QByteArray>

class QIODevice;

class TextExporter
{
public:
    explicit TextExporter(QIODevice *output);

    void writeHeader(const DataFileHeader &header);
    // Goes on after existing rows instead of writeHeader: the last row
    // opened at that date and time, by a value that did (setTime) or did not
    // follow a clock setting. Without a date: no row yet.
    void resume(const DataFileHeader &header, const QString &date, const QString &time, bool setTime);
    // The row time of an export's last "INS" row, read back from its text
    // ("dd/MM/yyyy|hh:mm|INS|"); false when the text holds none.
    static bool lastInsRow(const QByteArray &tail, QString *date, QString *time);
    static QByteArray headerBytes(const DataFileHeader &header);
    void addLine(const DataFileLine &line);
    // Hands the rest of the buffer to the device; false when it refused.
    bool finish();

    // "%1/%2.txt" from the XML file's folder and its name up to the first dot.
    static QString textPath(const QString &xmlPath);

private:
    // A line's date and time kept as text: comparing the fixed-width texts
    // orders them like the times, without a local-time conversion per line.
    struct Stamp
    {
        bool valid = false;
        QString date;
        QString time;
    };

    static Stamp readStamp(const QString &date, const QString &time);
    static bool later(const Stamp &a, const Stamp &b);

    void put(const QString &text);
    void put(const char *text) { buffer.append(text); }
    void putAscii(const QChar *text, int size);
    void putStamp(const Stamp &stamp);
    // `text` as the data file holds it, `value` the number read from it.
    void putValue(const QString &text, float value);
    void flushIfFull();

    QIODevice *out;
    QByteArray buffer;
    bool writeFailed = false;
    int channelCount = 0;
    bool rowStarted = false;
    Stamp rowStamp;
    bool rowSetTime = false;
};
