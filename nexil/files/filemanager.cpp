#include "filemanager.h"

#include "datafileappender.h"
#include "datafilehead.h"
#include "datafileinplace.h"
#include "datafilewriter.h"
#include "dataformat.h"
#include "resumepoint.h"
#include "textexporter.h"

#include "nexil/excel/excelconverter.h"
#include "nexil/protocol/nexil.h"

#include "nexil/logging.h"
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QThread>

namespace {

// How often a waiting save looks at the lock and at its cancel check.
constexpr int lockPollMs = 50;

} // namespace

FileManager::FileManager(QObject *parent) : QObject(parent), nexil(new Nexil(this)) {}

FileManager::~FileManager() = default;

int FileManager::saveFile(const DataFile &dataFile, const QString &path, bool exportText, bool exportExcel)
{
    return save(dataFile, path, exportText, exportExcel, nullptr);
}

int FileManager::completeFile(const DataFile &dataFile, const QList<DataFileLine> &lines, const QString &path,
                              bool exportText, bool exportExcel, int *added, bool *damaged)
{
    DataFileAppender::Completion completion;
    completion.lines = lines;
    const int result = save(dataFile, path, exportText, exportExcel, &completion);
    if (added)
        *added = completion.added;
    if (damaged)
        *damaged = completion.damaged;
    return result;
}

int FileManager::save(const DataFile &dataFile, const QString &path, bool exportText, bool exportExcel,
                      DataFileAppender::Completion *completion)
{
    QDir().mkdir(QFileInfo(path).absolutePath());

    // Appending reads the old file and replaces it; two savers at once (the
    // console and a station's worker, say) would each drop the other's
    // lines, so they take turns. The lock is a file so it holds between
    // processes too.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (const int refused = waitForLock(lock, path))
        return refused;

    const QString textPath = exportText ? TextExporter::textPath(path) : QString();
    // A plain append writes only what is new; the rest (new files, files in
    // another layout, completions) streams the whole file anew.
    const DataFileInPlace::Result inPlace =
        completion ? DataFileInPlace::NotApplicable : DataFileInPlace::append(path, textPath, dataFile);
    if (inPlace == DataFileInPlace::WriteFailed)
        return WriteFailed;
    if (inPlace == DataFileInPlace::Appended) {
        if (exportExcel)
            exportToExcel(QDomDocument(), path);
        return Saved;
    }
    const DataFileHeader fresh = DataFormat::headerFromDataFile(dataFile, *nexil);
    DataFileAppender appender(path, textPath);
    const DataFileAppender::Result result = appender.append(fresh, dataFile, completion);
    if (result != DataFileAppender::Saved)
        return result == DataFileAppender::SourceUnreadable ? FileUnreadable : WriteFailed;

    // The converter reads the saved file itself, so it needs no document.
    if (exportExcel)
        exportToExcel(QDomDocument(), path);
    return Saved;
}

int FileManager::waitForLock(QLockFile &lock, const QString &path)
{
    // Polled rather than one long tryLock(), so that a stop is not kept
    // waiting for as long as another save holds the file.
    const QDeadlineTimer deadline(lockTimeoutMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError)
            return Saved; // where no lock can be made the save meets the real error
        if (cancelCheck && cancelCheck()) {
            qCDebug(lcFiles, "saveFile(): waiting for the lock of %s cancelled", qUtf8Printable(path));
            return Cancelled;
        }
        if (deadline.hasExpired()) {
            qCDebug(lcFiles, "saveFile(): %s is locked by another save", qUtf8Printable(path));
            return WriteFailed;
        }
        QThread::msleep(ulong(qMin<qint64>(lockPollMs, qMax<qint64>(1, deadline.remainingTime()))));
    }
    return Saved;
}

bool FileManager::saveXML(const QDomDocument &document, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    const QDomElement root = document.documentElement();
    DataFileWriter writer(&file);
    writer.writeStart(DataFormat::headerFromElement(root.firstChildElement(QStringLiteral("header"))));
    const QDomElement data = root.firstChildElement(QStringLiteral("data"));
    for (QDomElement line = data.firstChildElement(); !line.isNull(); line = line.nextSiblingElement())
        writer.writeLine(DataFormat::lineFromElement(line));
    writer.writeEnd();
    return !writer.failed() && file.commit();
}

void FileManager::exportToText(const QDomDocument &document, const QString &path)
{
    const QString textPath = TextExporter::textPath(path);
    QSaveFile file(textPath);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcFiles, "exportToText(): cannot write %s", qUtf8Printable(textPath));
        return;
    }

    const QDomElement root = document.documentElement();
    TextExporter exporter(&file);
    exporter.writeHeader(DataFormat::headerFromElement(root.firstChildElement(QStringLiteral("header"))));
    const QDomElement data = root.firstChildElement(QStringLiteral("data"));
    for (QDomElement line = data.firstChildElement(); !line.isNull(); line = line.nextSiblingElement())
        exporter.addLine(DataFormat::lineFromElement(line));
    if (!exporter.finish() || !file.commit())
        qCDebug(lcFiles, "exportToText(): writing %s failed", qUtf8Printable(textPath));
}

void FileManager::exportToExcel(const QDomDocument &document, const QString &path)
{
    // The converter reads the saved file itself. Its failures are logged
    // and never change the save's result.
    Q_UNUSED(document)
    ExcelConverter converter(this);
    connect(&converter, &ExcelConverter::error, this, [&path](const QString &text) {
        qCDebug(lcFiles, "exportToExcel(): %s: %s", qUtf8Printable(path), qUtf8Printable(text));
    });
    converter.convert(path, ExcelConverter::Xls, false);
}

int FileManager::getLastMemoryAddresses(int *page, int *buffer, QDateTime *time, const QString &path)
{
    if (page)
        *page = 0;
    if (buffer)
        *buffer = 0;

    // A file that keeps its time base says all from its header: its lines
    // need not be read.
    const DataFileHead head = DataFileHead::read(path);
    const QDateTime kept = QDateTime::fromString(head.timeBase, QStringLiteral("yyyy-MM-dd hh:mm"));
    if (head.whole && kept.isValid()) {
        if (page)
            *page = head.page;
        if (buffer)
            *buffer = head.buffer;
        if (time)
            *time = kept;
        return 0;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;

    // Like a document that failed to parse, an unreadable file gives no
    // elements: page and buffer stay 0 and the time is left alone.
    ResumePoint point;
    if (!point.read(&file))
        return 0;
    if (page)
        *page = point.page;
    if (buffer)
        *buffer = point.buffer;
    if (!time)
        return 0;
    // The kept base belongs to the stored position; older files only have
    // the last value after a clock setting.
    const QDateTime base = QDateTime::fromString(point.timeBase, QStringLiteral("yyyy-MM-dd hh:mm"));
    if (base.isValid())
        *time = base;
    else if (point.hasTime)
        *time = QDateTime::fromString(QStringLiteral("%1 %2").arg(point.date, point.time),
                                      QStringLiteral("yyyy-MM-dd hh:mm"));
    return 0;
}
