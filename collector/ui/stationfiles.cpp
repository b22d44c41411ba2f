#include "stationfiles.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace StationFiles {

QString firstDataFile(const QString &directory, const QString &name)
{
    const QDir dir(directory);
    const QStringList files =
        dir.entryList({name + QStringLiteral("*.xml")}, QDir::Files | QDir::Readable, QDir::Name);
    return files.isEmpty() ? QString() : QFileInfo(dir.filePath(files.first())).absoluteFilePath();
}

QString latestDataFile(const QString &directory, const QString &name)
{
    const QStringList files =
        QDir(directory).entryList({name + QStringLiteral("_*.xml")}, QDir::Files, QDir::Name);
    QDate latest;
    for (const QString &file : files) {
        // The date stands after the last "_" and before the extension.
        const QString tail = file.mid(file.lastIndexOf(QLatin1Char('_')) + 1);
        const QDate date =
            QDate::fromString(tail.left(tail.indexOf(QLatin1Char('.'))), QStringLiteral("ddMMyyyy"));
        if (date.isValid() && (!latest.isValid() || date > latest))
            latest = date;
    }
    if (!latest.isValid())
        return QString();
    return QStringLiteral("%1/%2_%3.xml").arg(directory, name, latest.toString(QStringLiteral("ddMMyyyy")));
}

} // namespace StationFiles
