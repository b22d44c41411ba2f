#include "collection/stationcompleteness.h"

#include "nexil/files/channelmap.h"
#include "nexil/files/gapfinder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QStringList StationCompleteness::stationFiles(const QString &folder, const QString &prefix,
                                              const QDateTime &since)
{
    // The prefix is a station's file name and may hold wildcard characters:
    // match the names exactly rather than by a name filter.
    const QRegularExpression name(
        QStringLiteral("^%1_\\d{8}\\.xml$").arg(QRegularExpression::escape(prefix)));
    QStringList out;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &info : entries)
        if (name.match(info.fileName()).hasMatch() && info.lastModified() >= since)
            out << info.filePath();
    // By the date in the name: ddMMyyyy does not sort as text.
    return ChannelMap::byNameDate(out);
}

StationCompleteness StationCompleteness::lastDays(const QString &folder, const QString &prefix,
                                                  const QDateTime &now, int days)
{
    StationCompleteness result;
    const QDateTime since(now.date().addDays(1 - days), QTime(0, 0));
    const QStringList files = stationFiles(folder, prefix, since);
    if (files.isEmpty())
        return result;
    GapFinder finder;
    // Values the logger holds but nobody has read yet are not missing, nor
    // are the days before a new station's first value.
    finder.setRange(since, now);
    finder.setEdgesCount(false);
    if (!finder.run(files)) {
        result.error = finder.errorText();
        return result;
    }
    for (const GapFinder::ChannelFigures &c : finder.channels()) {
        result.present += c.present;
        result.missing += c.missing;
    }
    result.percent = GapFinder::percent(result.present, result.missing);
    return result;
}
