#pragma once

// The XML data file as text: its header and its lines exactly as they are
// written. Both the document-based writers and the streaming ones take their
// values through these helpers, so the two always produce the same bytes.

#include "nexil/nexil_global.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVector>

class Nexil;
class QDomElement;
class QXmlStreamReader;
struct DataFile;
struct DataLine;

struct DataFileChannel
{
    QString id;
    QString code;
    QString name;
    QString unit;
    QString interval;
};

struct DataFileHeader
{
    QString deviceType;
    QString deviceTypeName;
    QString deviceTypeDescription;
    QString lastConnectionTime;
    QString supplyVoltage;
    QString stationCode;
    QString stationName;
    QString region;
    QString basin;
    QString stationNo;
    QString setupTime;
    QString startOfDay;
    QString memoryPage;
    QString memoryBuffer;
    // The time base in force at the memory position ("yyyy-MM-dd hh:mm"):
    // a file begun in the middle of memory may hold no value that followed
    // a clock setting. Empty (and not written) when unknown.
    QString memoryTimeBase;
    QString channelCount;
    QVector<DataFileChannel> channels;
};

// The six attributes of a `line` element.
struct DataFileLine
{
    QString channel;
    QString dataType;
    QString date;
    QString time;
    QString setTime;
    QString value;
};

namespace DataFormat {

// "%.2f" and "%.4f" without the C library, whose decimal point follows the
// process locale.
QString fixed(double value, int decimals);
QString dateTimeText(const QDateTime &dateTime);

NEXIL_EXPORT DataFileHeader headerFromDataFile(const DataFile &dataFile, const Nexil &nexil);
// Values of the document's `header` element; missing elements read as "".
NEXIL_EXPORT DataFileHeader headerFromElement(const QDomElement &header);
// The values every download refreshes, also in an existing file.
void applyDownload(DataFileHeader &header, const DataFile &dataFile);

NEXIL_EXPORT DataFileLine lineFromDataLine(const DataLine &line);
DataFileLine lineFromElement(const QDomElement &line);
// The `line` element the reader stands on.
NEXIL_EXPORT DataFileLine lineFromReader(const QXmlStreamReader &reader);

} // namespace DataFormat
