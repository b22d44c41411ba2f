#include "webexcel.h"

#include "nexil/excel/datalinereader.h"
#include "nexil/excel/excelconverter.h"
#include "nexil/files/datafilewriter.h"
#include "weblogging.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const char *typeName(report::LineType type)
{
    switch (type) {
    case report::LineType::Ins:
        return "INS";
    case report::LineType::Max:
        return "MAX";
    case report::LineType::Min:
        return "MIN";
    case report::LineType::Avg:
        return "AVG";
    case report::LineType::Tot:
        return "TOT";
    case report::LineType::Other:
        break;
    }
    return nullptr;
}

} // namespace

bool WebExcel::build(const QStringList &files, const QString &from, const QString &to,
                     const QList<int> &channels, QByteArray *book, QString *error)
{
    QTemporaryDir dir;
    if (!dir.isValid() || files.isEmpty()) {
        *error = files.isEmpty() ? QStringLiteral("the station has no data files")
                                 : QStringLiteral("no temporary folder");
        return false;
    }
    // The newest file's header names the station and its channels.
    report::Header header;
    {
        QFile newest(files.constLast());
        report::DataLineReader reader(&newest);
        if (!newest.open(QIODevice::ReadOnly) || !reader.readHeader(&header)) {
            *error = QStringLiteral("the newest data file cannot be read");
            return false;
        }
    }
    DataFileHeader out;
    out.stationCode = header.stationCode;
    out.stationName = header.stationName;
    out.supplyVoltage = header.supplyVoltage;
    out.setupTime = header.setupTimestamp;
    for (const report::Channel &c : qAsConst(header.channels)) {
        if (!channels.isEmpty() && !channels.contains(c.id))
            continue;
        out.channels.append(DataFileChannel{QString::number(c.id), QString::number(c.id), c.name, c.unit,
                                            c.interval > 0 ? QString::number(c.interval) : QString()});
    }
    out.channelCount = QString::number(out.channels.size());

    const QString path = dir.filePath(QStringLiteral("range.xml"));
    QFile range(path);
    if (!range.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("the range cannot be written");
        return false;
    }
    DataFileWriter writer(&range);
    writer.writeStart(out);
    for (const QString &name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        report::DataLineReader reader(&file);
        report::Header skipped;
        if (!reader.readHeader(&skipped))
            continue;
        report::Line line;
        while (reader.readLine(&line)) {
            const char *type = typeName(line.type);
            const QString time = line.date + QLatin1Char('T') + line.time;
            if (!type || (!from.isEmpty() && time < from) || (!to.isEmpty() && time > to) ||
                (!channels.isEmpty() && !channels.contains(line.channel)))
                continue;
            writer.writeLine(DataFileLine{QString::number(line.channel), QLatin1String(type), line.date,
                                          line.time, QString(), line.valueText});
        }
    }
    writer.writeEnd();
    range.close();
    if (writer.failed()) {
        *error = QStringLiteral("the range cannot be written");
        return false;
    }
    ExcelConverter converter;
    if (!converter.convert(path, ExcelConverter::Xlsx)) {
        qCDebug(lcWeb, "conversion failed: %s", qUtf8Printable(converter.lastError()));
        *error = QStringLiteral("the workbook could not be made");
        return false;
    }
    QFile result(converter.outputPath());
    if (!result.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the workbook could not be read");
        return false;
    }
    *book = result.readAll();
    return true;
}
