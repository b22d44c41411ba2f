#pragma once

#include "nexil/excel/reportrules.h"
#include "nexil/nexil_global.h"

#include <QString>
#include <QVector>
#include <QXmlStreamReader>

class QIODevice;

namespace report {

struct Channel
{
    int id = 0;
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
    explicit DataLineReader(QIODevice *device);

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

    QXmlStreamReader m_xml;
    bool m_inData = false;
    QVector<bool> m_channels; // indexed by channel; empty: all
    bool m_instantOnly = false;
};

} // namespace report
