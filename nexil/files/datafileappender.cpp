#include "datafileappender.h"

#include "datafilewriter.h"
#include "textexporter.h"

#include "nexil/protocol/records.h"

#include <QDateTime>
#include <QDomDocument>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamReader>

#include "nexil/logging.h"
#include <memory>

struct DataFileAppender::Output
{
    std::unique_ptr<QSaveFile> xml;
    std::unique_ptr<QSaveFile> text;
    std::unique_ptr<DataFileWriter> writer;
    std::unique_ptr<TextExporter> exporter;
};

namespace {

// The values sit three levels below the header; deeper content only adds
// to their text, and a damaged file nested without end must not exhaust the
// stack of a document's recursive text().
constexpr int maxHeaderDepth = 32;

QDomElement newElement(const QXmlStreamReader &reader, QDomDocument &document)
{
    QDomElement element = document.createElement(reader.qualifiedName().toString());
    const QXmlStreamAttributes attributes = reader.attributes();
    for (const QXmlStreamAttribute &a : attributes)
        element.setAttribute(a.qualifiedName().toString(), a.value().toString());
    return element;
}

// The header is small; reading it into a scratch document lets the
// streaming path take its values with the very code the document path uses.
QDomElement readElement(QXmlStreamReader &reader, QDomDocument &document)
{
    const QDomElement top = newElement(reader, document);
    QDomElement current = top;
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth == maxHeaderDepth) {
                reader.skipCurrentElement();
                break;
            }
            current = current.appendChild(newElement(reader, document)).toElement();
            ++depth;
            break;
        case QXmlStreamReader::Characters:
            // A document drops whitespace-only text too.
            if (reader.isCDATA())
                current.appendChild(document.createCDATASection(reader.text().toString()));
            else if (!reader.isWhitespace())
                current.appendChild(document.createTextNode(reader.text().toString()));
            break;
        case QXmlStreamReader::EndElement:
            current = current.parentNode().toElement();
            --depth;
            break;
        default:
            break;
        }
    }
    return top;
}

} // namespace

DataFileAppender::DataFileAppender(const QString &path, const QString &textPath)
    : path(path), textPath(textPath)
{
}

QString DataFileAppender::lineKey(const DataFileLine &line)
{
    return line.channel + QLatin1Char('|') + line.dataType + QLatin1Char('|') + line.date + QLatin1Char(' ') +
           line.time;
}

DataFileAppender::Result DataFileAppender::append(const DataFileHeader &fresh, const DataFile &dataFile,
                                                  Completion *completing)
{
    completion = completing;
    wanted.clear();
    present.clear();
    if (completion) {
        completion->added = 0;
        completion->damaged = false;
        present.fill(false, completion->lines.size());
        for (int i = 0; i < completion->lines.size(); ++i)
            wanted.insert(lineKey(completion->lines.at(i)), i);
    }
    QFile source(path);
    const bool exists = source.exists();
    if (exists && !source.open(QIODevice::ReadOnly))
        return SourceUnreadable;

    if (exists) {
        Output out;
        if (!openOutput(out))
            return WriteFailed;
        const Copy copy = copyExisting(source, out, dataFile);
        if (copy == OutputFailed)
            return WriteFailed;
        if (copy == Copied) {
            if (completion)
                finishCompletion(out);
            else
                finish(out, dataFile.lines);
            // Some systems refuse to replace a file that is still open.
            source.close();
            return commit(out, false);
        }
        // Unparsable: start over below as a new file. out's temporary files
        // are discarded when it goes out of scope.
    }

    // An empty file holds nothing worth keeping aside.
    const bool moveAside = exists && source.size() > 0;
    source.close();
    Output out;
    if (!openOutput(out))
        return WriteFailed;
    start(out, fresh);
    if (completion)
        finishCompletion(out);
    else
        finish(out, dataFile.lines);
    return commit(out, moveAside);
}

bool DataFileAppender::openOutput(Output &out)
{
    out.xml = std::make_unique<QSaveFile>(path);
    if (!out.xml->open(QIODevice::WriteOnly)) {
        qCDebug(lcFiles, "saveFile(): cannot write %s: %s", qUtf8Printable(path),
                qUtf8Printable(out.xml->errorString()));
        return false;
    }
    out.writer = std::make_unique<DataFileWriter>(out.xml.get());

    if (!textPath.isEmpty()) {
        out.text = std::make_unique<QSaveFile>(textPath);
        if (out.text->open(QIODevice::WriteOnly)) {
            out.exporter = std::make_unique<TextExporter>(out.text.get());
        } else {
            qCDebug(lcFiles, "exportToText(): cannot write %s", qUtf8Printable(textPath));
            out.text.reset();
        }
    }
    return true;
}

DataFileAppender::Copy DataFileAppender::copyExisting(QIODevice &source, Output &out,
                                                      const DataFile &dataFile)
{
    QXmlStreamReader reader(&source);
    // Names are taken as written, prefixes included, as a document read
    // without namespace processing has them; it is also faster.
    reader.setNamespaceProcessing(false);
    QDomDocument scratch;
    QDomElement header;
    bool started = false;
    bool seenData = false;
    bool dataBeforeHeader = false;

    auto startWithHeader = [&]() {
        DataFileHeader h = DataFormat::headerFromElement(header);
        DataFormat::applyDownload(h, dataFile);
        start(out, h);
        started = true;
    };

    if (reader.readNextStartElement()) {
        while (reader.readNextStartElement()) {
            const QStringRef name = reader.qualifiedName();
            if (header.isNull() && name == QLatin1String("header")) {
                header = readElement(reader, scratch);
            } else if (!seenData && name == QLatin1String("data")) {
                seenData = true;
                if (header.isNull()) {
                    // The header may still follow; the lines are copied in a
                    // second pass once it is known.
                    dataBeforeHeader = true;
                    reader.skipCurrentElement();
                } else {
                    startWithHeader();
                    copyLines(reader, out);
                }
            } else {
                reader.skipCurrentElement();
            }
        }
        // Anything after the root must still be well-formed.
        while (!reader.atEnd())
            reader.readNext();
    } else if (!reader.hasError()) {
        reader.raiseError(QStringLiteral("no root element"));
    }

    if (reader.hasError()) {
        qCDebug(lcFiles, "errorMsg: %s errorLine: %d errorColumn: %d", qUtf8Printable(reader.errorString()),
                int(reader.lineNumber()), int(reader.columnNumber()));
        if (completion)
            completion->damaged = true;
        // Completing a file cut or torn among its lines: what was read before
        // the damage stays, the store brings back the rest.
        if (!completion || !started || dataBeforeHeader)
            return SourceCorrupt;
        return out.writer->failed() ? OutputFailed : Copied;
    }
    if (!started)
        startWithHeader();
    if (dataBeforeHeader && !copyFirstData(source, out))
        return OutputFailed;
    return out.writer->failed() ? OutputFailed : Copied;
}

bool DataFileAppender::copyFirstData(QIODevice &source, Output &out)
{
    if (!source.seek(0))
        return false;
    QXmlStreamReader reader(&source);
    reader.setNamespaceProcessing(false);
    if (!reader.readNextStartElement())
        return false;
    while (reader.readNextStartElement()) {
        if (reader.qualifiedName() == QLatin1String("data")) {
            copyLines(reader, out);
            return !reader.hasError();
        }
        reader.skipCurrentElement();
    }
    return false;
}

void DataFileAppender::copyLines(QXmlStreamReader &reader, Output &out)
{
    // Every child of `data` is written back as a line, as from a document.
    while (reader.readNextStartElement()) {
        const DataFileLine line = DataFormat::lineFromReader(reader);
        if (completion) {
            const auto found = wanted.constFind(lineKey(line));
            if (found != wanted.constEnd())
                present[found.value()] = true;
        }
        out.writer->writeLine(line);
        if (out.exporter)
            out.exporter->addLine(line);
        reader.skipCurrentElement();
    }
}

void DataFileAppender::start(Output &out, const DataFileHeader &header)
{
    out.writer->writeStart(header);
    if (out.exporter)
        out.exporter->writeHeader(header);
}

void DataFileAppender::finish(Output &out, const QList<DataLine> &lines)
{
    for (const DataLine &dataLine : lines) {
        const DataFileLine line = DataFormat::lineFromDataLine(dataLine);
        out.writer->writeLine(line);
        if (out.exporter)
            out.exporter->addLine(line);
    }
    out.writer->writeEnd();
}

void DataFileAppender::finishCompletion(Output &out)
{
    QSet<QString> written;
    for (int i = 0; i < completion->lines.size(); ++i) {
        const DataFileLine &line = completion->lines.at(i);
        if (present.at(i) || written.contains(lineKey(line)))
            continue;
        written.insert(lineKey(line));
        out.writer->writeLine(line);
        if (out.exporter)
            out.exporter->addLine(line);
        ++completion->added;
    }
    out.writer->writeEnd();
}

DataFileAppender::Result DataFileAppender::commit(Output &out, bool moveAside)
{
    if (out.writer->failed()) {
        qCDebug(lcFiles, "saveFile(): writing %s failed", qUtf8Printable(path));
        return WriteFailed;
    }

    // Keep what could not be read: it may still hold collected data that a
    // person can recover, and this download alone would replace it.
    QString aside;
    if (moveAside) {
        aside = path + QStringLiteral(".corrupt-") +
                QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("yyyyMMddhhmmss"));
        if (!QFile::rename(path, aside)) {
            qCDebug(lcFiles, "saveFile(): cannot move the unreadable %s aside to %s", qUtf8Printable(path),
                    qUtf8Printable(aside));
            return WriteFailed;
        }
        qCDebug(lcFiles, "saveFile(): %s could not be parsed and was moved to %s", qUtf8Printable(path),
                qUtf8Printable(aside));
    }

    if (!out.xml->commit()) {
        qCDebug(lcFiles, "saveFile(): writing %s failed: %s", qUtf8Printable(path),
                qUtf8Printable(out.xml->errorString()));
        if (moveAside)
            QFile::rename(aside, path);
        return WriteFailed;
    }

    if (out.exporter) {
        if (!out.exporter->finish() || !out.text->commit())
            qCDebug(lcFiles, "exportToText(): writing %s failed", qUtf8Printable(textPath));
    }
    return Saved;
}
