#include "datafileinplace.h"

#include "datafilewriter.h"
#include "dataformat.h"
#include "textexporter.h"

#include "nexil/logging.h"
#include "nexil/protocol/records.h"

#include <QDomDocument>
#include <QFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// The header with its channel list; a device has a few dozen channels.
constexpr qint64 headBytes = 1 << 16;
// How far back the last row is looked for; a day of summaries fits.
constexpr qint64 tailBytes = 1 << 18;

const QByteArray closingWithLines = "\n    </data>\n</device>\n";
const QByteArray closingEmpty = "/>\n</device>\n";

bool syncToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return true;
#endif
}

bool readHeader(const QByteArray &head, DataFileHeader *header)
{
    const int end = head.indexOf("</header>");
    if (end < 0)
        return false;
    QDomDocument document;
    if (!document.setContent(head.left(end + 9) + "</device>"))
        return false;
    *header =
        DataFormat::headerFromElement(document.documentElement().firstChildElement(QStringLiteral("header")));
    return true;
}

QString attribute(const QByteArray &line, const char *name)
{
    const QByteArray key = QByteArray(" ") + name + "=\"";
    const int at = line.indexOf(key);
    if (at < 0)
        return QString();
    const int from = at + key.size();
    const int to = line.indexOf('"', from);
    return to < 0 ? QString() : QString::fromUtf8(line.mid(from, to - from));
}

// Whether the row that opened at `date time` began with a value recorded
// right after a clock setting: the first "INS" line of that time among the
// file's last lines, before which only earlier times stand.
bool rowSetTime(QFile &file, qint64 dataEnd, const QString &date, const QString &time, bool *found)
{
    const qint64 from = qMax<qint64>(0, dataEnd - tailBytes);
    if (!file.seek(from))
        return false;
    const QByteArray tail = file.read(dataEnd - from);
    bool setTime = false;
    *found = false;
    for (int end = tail.size(); end > 0;) {
        const int start = tail.lastIndexOf("<line ", end - 1);
        if (start < 0)
            break;
        const QByteArray line = tail.mid(start, end - start);
        end = start;
        if (attribute(line, "dataType") != QLatin1String("INS"))
            continue;
        const QString d = attribute(line, "date");
        const QString t = attribute(line, "time");
        if (d == date && t == time) {
            *found = true;
            setTime = attribute(line, "setTime") == QLatin1String("true");
        } else if (*found && (d < date || (d == date && t < time))) {
            break;
        }
    }
    return setTime;
}

} // namespace

DataFileInPlace::Result DataFileInPlace::append(const QString &path, const QString &textPath,
                                                const DataFile &dataFile)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return NotApplicable;
    const qint64 size = file.size();
    const QByteArray head = file.read(headBytes);
    DataFileHeader header;
    if (!readHeader(head, &header))
        return NotApplicable;
    // Only a header exactly as the writer lays it out is rewritten in place.
    const QByteArray oldPrefix = DataFileWriter::headerPrefix(header);
    if (oldPrefix.isEmpty() || !head.startsWith(oldPrefix))
        return NotApplicable;
    int slack = 0;
    while (oldPrefix.size() + slack < head.size() && head.at(oldPrefix.size() + slack) == ' ')
        ++slack;
    if (oldPrefix.size() + slack >= head.size() || head.at(oldPrefix.size() + slack) != '\n')
        return NotApplicable;
    DataFileHeader updated = header;
    DataFormat::applyDownload(updated, dataFile);
    const QByteArray newPrefix = DataFileWriter::headerPrefix(updated);
    const int room = oldPrefix.size() + slack;
    if (newPrefix.isEmpty() || newPrefix.size() > room)
        return NotApplicable;

    // The closing part as the writer ends a file; anything else (a cut, a
    // torn write) is for the full rewrite and its checks.
    if (!file.seek(qMax<qint64>(0, size - closingWithLines.size())))
        return NotApplicable;
    const QByteArray end = file.read(closingWithLines.size());
    bool hasLines = true;
    qint64 dataEnd = size - closingWithLines.size();
    if (!end.endsWith(closingWithLines)) {
        if (!end.endsWith("<data" + closingEmpty))
            return NotApplicable;
        hasLines = false;
        dataEnd = size - closingEmpty.size();
    }
    if (dataEnd < room)
        return NotApplicable;

    // The text export goes on from its last row, when it is the export of
    // this header; else it is written whole by the full rewrite.
    QFile text(textPath);
    TextExporter exporter(&text);
    QByteArray textHeader;
    if (!textPath.isEmpty()) {
        if (!text.open(QIODevice::ReadWrite))
            return NotApplicable;
        const QByteArray oldText = TextExporter::headerBytes(header);
        textHeader = TextExporter::headerBytes(updated);
        if (textHeader.size() != oldText.size() || text.read(oldText.size()) != oldText)
            return NotApplicable;
        const qint64 textSize = text.size();
        QString date, time;
        bool setTime = false;
        if (textSize > oldText.size()) {
            const qint64 from = qMax<qint64>(oldText.size(), textSize - tailBytes);
            if (!text.seek(from))
                return NotApplicable;
            const QByteArray rows = text.read(textSize - from);
            if (!TextExporter::lastInsRow(rows, &date, &time))
                return NotApplicable;
            bool found = false;
            setTime = rowSetTime(file, dataEnd, date, time, &found);
            if (!found)
                return NotApplicable;
        }
        exporter.resume(updated, date, time, setTime);
    }

    // Lines first, made durable; then the numbers that say they are there.
    // A crash in between leaves the old numbers, which the next save finds
    // behind the store's and completes from it.
    if (!file.seek(dataEnd))
        return WriteFailed;
    DataFileWriter writer(&file);
    writer.resumeData(hasLines);
    QList<DataFileLine> lines;
    lines.reserve(dataFile.lines.size());
    for (const DataLine &line : dataFile.lines)
        lines.append(DataFormat::lineFromDataLine(line));
    for (const DataFileLine &line : qAsConst(lines))
        writer.writeLine(line);
    writer.writeEnd();
    if (writer.failed() || !syncToDisk(file)) {
        qCDebug(lcFiles, "saveFile(): appending to %s failed", qUtf8Printable(path));
        // A full disk: the file goes back to what it was, which needs no
        // room it did not have.
        const QByteArray closing = hasLines ? closingWithLines : closingEmpty;
        if (!file.resize(dataEnd) || !file.seek(dataEnd) || file.write(closing) != closing.size() ||
            !syncToDisk(file))
            qCDebug(lcFiles, "saveFile(): %s could not be restored; it is completed at the next save",
                    qUtf8Printable(path));
        return WriteFailed;
    }
    if (!textPath.isEmpty()) {
        bool written = text.seek(text.size());
        for (const DataFileLine &line : qAsConst(lines))
            exporter.addLine(line);
        written = written && exporter.finish() && text.seek(0) &&
                  text.write(textHeader) == textHeader.size() && syncToDisk(text);
        // Like every export failure: logged, the data file stands. Without
        // the text the next save writes it whole again.
        if (!written) {
            qCDebug(lcFiles, "exportToText(): appending to %s failed", qUtf8Printable(textPath));
            text.remove();
        }
    }
    const QByteArray prefix = newPrefix + QByteArray(room - newPrefix.size(), ' ');
    if (!file.seek(0) || file.write(prefix) != prefix.size() || !syncToDisk(file)) {
        qCDebug(lcFiles, "saveFile(): rewriting the header of %s failed", qUtf8Printable(path));
        return WriteFailed;
    }
    return Appended;
}
