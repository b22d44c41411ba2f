#include "stationexport.h"

#include "collectorlogging.h"

#include <QFileInfo>
#include <QSaveFile>

QStringList StationExport::write(const QString &dataFilePath, const QStringList &formats,
                                 int utcOffsetMinutes, SeriesExporter::Locale csvLocale, QStringList *errors)
{
    QStringList written;
    const QFileInfo info(dataFilePath);
    for (const QString &name : formats) {
        SeriesExporter::Format format;
        if (!SeriesExporter::parseFormat(name, &format))
            continue;
        const QString path = QStringLiteral("%1/%2.%3")
                                 .arg(info.absolutePath(), info.baseName(), SeriesExporter::suffix(format));
        SeriesExporter exporter;
        exporter.setFormat(format);
        exporter.setUtcOffset(utcOffsetMinutes);
        exporter.setLocale(csvLocale);
        QSaveFile out(path);
        QString error;
        if (!SeriesExporter::isReplaceable(path, &error)) {
            // a pipe or a device in the file's place is left alone
        } else if (!out.open(QIODevice::WriteOnly))
            error = out.errorString();
        else if (!exporter.run({dataFilePath}, &out))
            error = exporter.errorText();
        else if (!out.commit())
            error = out.errorString();
        if (error.isEmpty()) {
            written << path;
            continue;
        }
        qCDebug(lcWorker, "export %s failed: %s", qUtf8Printable(path), qUtf8Printable(error));
        if (errors)
            errors->append(QStringLiteral("%1: %2").arg(path, error));
    }
    return written;
}
