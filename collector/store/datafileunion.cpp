#include "datafileunion.h"

#include "nexil/files/datafilewriter.h"
#include "nexil/files/dataformat.h"

#include <QDate>
#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <limits>

namespace {

int digits(const QStringRef &text, int from, int count)
{
    int n = 0;
    for (int i = from; i < from + count; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

// The header element of a data file, read from its first bytes.
bool readHeader(QFile &file, DataFileHeader *header)
{
    QByteArray head;
    while (!file.atEnd() && head.size() < 4 * 1024 * 1024) {
        head += file.read(64 * 1024);
        if (head.contains("</header>"))
            break;
    }
    const int start = head.indexOf("<header>");
    const int end = head.indexOf("</header>");
    if (start < 0 || end < start)
        return false;
    QDomDocument doc;
    if (!doc.setContent(head.mid(start, end + int(qstrlen("</header>")) - start)))
        return false;
    *header = DataFormat::headerFromElement(doc.documentElement());
    return true;
}

} // namespace

qint64 DataFileUnion::minuteOf(const QStringRef &date, const QStringRef &time)
{
    if (date.size() != 10 || time.size() != 5 || date.at(4) != QLatin1Char('-') ||
        date.at(7) != QLatin1Char('-') || time.at(2) != QLatin1Char(':'))
        return -1;
    const int y = digits(date, 0, 4), mo = digits(date, 5, 2), d = digits(date, 8, 2);
    const int h = digits(time, 0, 2), mi = digits(time, 3, 2);
    const QDate day(y, mo, d);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || !day.isValid())
        return -1;
    return day.toJulianDay() * 1440 + h * 60 + mi;
}

qint64 DataFileUnion::keyOf(qint64 minute, int channel, int type) const
{
    return (minute * 256 + channel) * 16 + type;
}

int DataFileUnion::typeIndex(const QString &type)
{
    const int at = types.indexOf(type);
    if (at >= 0)
        return at;
    if (types.size() >= 16)
        return -1;
    types.append(type);
    return types.size() - 1;
}

void DataFileUnion::add(const StationValues::Value &value)
{
    // Values the store holds under a key a file cannot hold stay out.
    const QStringRef at(&value.at);
    const qint64 minute = at.size() == 16 ? minuteOf(at.left(10), at.mid(11)) : -1;
    const int type = typeIndex(value.type);
    if (minute < 0 || type < 0 || value.channel < 0 || value.channel > 255)
        return;
    rows.append({minute, value.channel, type, value.setTime, value.value.toUtf8()});
}

bool DataFileUnion::write(const QString &localPath, const QByteArray &storedHeader, const QString &outPath,
                          QString *error)
{
    addedCount = 0;
    // In the order the store gave them within a minute: the device's.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row &a, const Row &b) { return a.minute < b.minute; });
    QHash<qint64, int> index;
    index.reserve(rows.size());
    QVector<bool> written(rows.size(), false);
    for (int i = 0; i < rows.size(); ++i) {
        // A value read twice (a question asked again) is still one value.
        const qint64 key = keyOf(rows.at(i).minute, rows.at(i).channel, rows.at(i).type);
        if (index.contains(key))
            written[i] = true;
        else
            index.insert(key, i);
    }

    DataFileHeader header;
    QFile local(localPath);
    bool haveLocal = !localPath.isEmpty() && local.open(QIODevice::ReadOnly) && readHeader(local, &header);
    if (!haveLocal) {
        QDomDocument doc;
        if (storedHeader.isEmpty() || !doc.setContent(storedHeader)) {
            *error = QStringLiteral("neither the data file nor the store has its header");
            return false;
        }
        header = DataFormat::headerFromElement(doc.documentElement());
    }

    QSaveFile out(outPath);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString());
        return false;
    }
    DataFileWriter writer(&out);
    writer.writeStart(header);
    int next = 0;
    const auto writeRow = [&](int i) {
        const Row &r = rows.at(i);
        written[i] = true;
        ++addedCount;
        const QDate day = QDate::fromJulianDay(r.minute / 1440);
        const int m = int(r.minute % 1440);
        writer.writeLine(
            {QString::number(r.channel), types.at(r.type), day.toString(QStringLiteral("yyyy-MM-dd")),
             QStringLiteral("%1:%2")
                 .arg(m / 60, 2, 10, QLatin1Char('0'))
                 .arg(m % 60, 2, 10, QLatin1Char('0')),
             r.setTime ? QStringLiteral("true") : QStringLiteral("false"), QString::fromUtf8(r.value)});
    };
    // The store's values before a minute, that nothing wrote yet.
    const auto writeBefore = [&](qint64 minute) {
        for (; next < rows.size() && rows.at(next).minute < minute; ++next)
            if (!written.at(next))
                writeRow(next);
    };

    if (haveLocal) {
        local.seek(0);
        QXmlStreamReader xml(&local);
        xml.setNamespaceProcessing(false);
        bool inData = false;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && inData && xml.name() == QLatin1String("data"))
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("data")) {
                inData = true;
                continue;
            }
            if (!inData || xml.name() != QLatin1String("line"))
                continue;
            const DataFileLine line = DataFormat::lineFromReader(xml);
            const qint64 minute = minuteOf(QStringRef(&line.date), QStringRef(&line.time));
            if (minute >= 0) {
                writeBefore(minute);
                bool channelOk = false;
                const int channel = line.channel.toInt(&channelOk);
                const int t = types.indexOf(line.dataType);
                if (channelOk && t >= 0) {
                    const auto it = index.constFind(keyOf(minute, channel, t));
                    if (it != index.constEnd()) {
                        // In the copy and in the store: once.
                        if (written.at(it.value()))
                            continue;
                        written[it.value()] = true;
                    }
                }
            }
            writer.writeLine(line);
        }
        // A copy cut or torn: its lines up to the damage stand.
    }
    writeBefore(std::numeric_limits<qint64>::max());
    writer.writeEnd();
    if (writer.failed() || !out.commit()) {
        *error = QStringLiteral("cannot write %1").arg(outPath);
        return false;
    }
    return true;
}
