#pragma once

#include "nexil/excel/reportrules.h"
#include "nexil/nexil_global.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QXmlStreamReader>

#include <memory>

class QFile;
class QIODevice;

namespace report {

struct Channel
{
    int id = 0;   // position among the device's active slots
    QString code; // the channel code's short name; empty in files without it
    QString name, unit;
    int interval = 0; // recording interval in minutes; 0 when missing
};

struct Header
{
    QString stationName, stationCode, setupTimestamp;
    QString supplyVoltage; // at the download the file was written at, as written
    int channelCount = 0;  // the setup's count, else the number of channels
    QVector<Channel> channels;
};

// Reads a data file one line at a time, so that a large file is never held
// whole: first its header, then the lines of its first "data" element.
class NEXIL_EXPORT DataLineReader
{
public:
    // A file's lines written the way this suite writes them are read by a
    // plain scan, several times faster than the XML parser; anything else
    // in them hands over to the parser where the scan stopped. `scan`
    // false: the parser only.
    explicit DataLineReader(QIODevice *device, bool scan = true);
    ~DataLineReader();

    // Reads up to the first data line; false when the XML is not well-formed.
    bool readHeader(Header *header);
    // The next line of the first "data" element; false at its end or on an
    // error. Whatever follows is still checked for well-formedness.
    bool readLine(Line *line);

    // Lines of other channels (and, with instantOnly, other types than
    // instant values) are passed over without reading their texts. Empty:
    // every channel.
    void setFilter(const QVector<int> &channels, bool instantOnly);

    bool hasError() const { return m_xml.hasError(); }
    // "XML Error at <line>/<column>" with the parser's message.
    QString errorText() const;

private:
    void readStation(Header *header);
    void readSetup(Header *header, QString *channelCount);
    void readChannels(Header *header);
    void skipToEnd();
    // The line scan: set up after the header, one line, and the check that
    // what follows the data is well-formed.
    void startScan();
    enum class Scanned { Line, Skipped, End, Unknown };
    Scanned scanLine(Line *line);
    bool nextRawLine(QByteArray *raw);
    bool tailWellFormed();
    bool accept(const QByteArray &channelText, const QByteArray &type, const QByteArray &date,
                const QByteArray &time, const QByteArray &value, Line *line);

    QXmlStreamReader m_xml;
    QIODevice *m_device;
    bool m_scanAllowed;
    std::unique_ptr<QFile> m_raw; // the same file, for the scan
    QByteArray m_head;            // its bytes up to and with "<data>"
    QByteArray m_buffer;          // read ahead
    int m_bufferPos = 0;
    bool m_rawEnd = false;
    qint64 m_linesScanned = 0; // "line" elements the scan went past
    qint64 m_linesToSkip = 0;  // ... which the parser then passes over
    bool m_inData = false;
    QVector<bool> m_channels; // indexed by channel; empty: all
    bool m_instantOnly = false;
};

} // namespace report
