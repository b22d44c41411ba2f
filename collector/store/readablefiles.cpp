#include "readablefiles.h"

#include "collectorlogging.h"
#include "datafileunion.h"
#include "visitcommits.h"

#include "nexil/files/channelmap.h"
#include "nexil/files/datafilehead.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSysInfo>

ReadableFiles::ReadableFiles(const QString &cacheDir) : cacheDir(cacheDir) {}

QString ReadableFiles::destinationOf(const QString &folder)
{
    // Two collectors on one host writing one folder write one file; on
    // different hosts each keeps its own.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return QSysInfo::machineHostName() + QLatin1Char(':') +
           (canonical.isEmpty() ? QFileInfo(folder).absoluteFilePath() : canonical);
}

bool ReadableFiles::safeName(const QString &name)
{
    if (name.isEmpty() || name.size() > 200 || name.startsWith(QLatin1Char('.')) ||
        !name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.unicode() == 0x7f)
            return false;
    return true;
}

bool ReadableFiles::files(int stationId, const QString &destination, const QStringList &local,
                          bool withStoreOnly, const StoreRun &store, QStringList *out, QString *error)
{
    const QStringList given = local; // out may be local itself
    out->clear();
    QList<VisitCommits::Part> parts;
    if (!store(
            [&](const QString &connection) { return VisitCommits(connection).parts(stationId, &parts); })) {
        *error = QStringLiteral("the station store does not answer");
        return false;
    }
    QMap<QString, QList<VisitCommits::Part>> byName;
    for (const VisitCommits::Part &p : qAsConst(parts))
        if (safeName(p.file) && p.commitNo > 0)
            byName[p.file].append(p);

    QHash<QString, QString> localByName;
    for (const QString &path : given)
        localByName.insert(QFileInfo(path).fileName(), path);
    QStringList result;
    for (const QString &path : given)
        if (!byName.contains(QFileInfo(path).fileName()))
            result << path;

    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = byName.constBegin(); it != byName.constEnd(); ++it) {
        const QString localPath = localByName.value(it.key());
        if (localPath.isEmpty() && !withStoreOnly)
            continue;
        // The folder's copy holds all there is when only this folder's
        // commits name the file and the copy ends at the last of them.
        const QFileInfo info(localPath);
        bool own = !localPath.isEmpty() && !destination.isEmpty();
        const VisitCommits::Part *mine = nullptr;
        for (const VisitCommits::Part &p : it.value()) {
            if (p.destination == destination)
                mine = &p;
            else
                own = false;
        }
        if (own && mine) {
            const DataFileHead head = DataFileHead::read(localPath);
            if (head.whole && head.page == mine->point.page && head.buffer == mine->point.buffer) {
                result << localPath;
                continue;
            }
        }
        QString stamp =
            info.exists()
                ? QStringLiteral("%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch())
                : QStringLiteral("-");
        QList<qint64> targets;
        QByteArray header;
        for (const VisitCommits::Part &p : it.value()) {
            stamp += QStringLiteral(" %1:%2").arg(p.id).arg(p.commitNo);
            targets << p.id;
            if (header.isEmpty())
                header = p.header;
        }
        const QString folder = QDir(cacheDir).filePath(QString::number(stationId));
        const QString unionPath = QDir(folder).filePath(it.key());
        if (stamps.value(unionPath) != stamp || !QFileInfo::exists(unionPath)) {
            qCDebug(lcStore, "station %d: %s is read joined with the store's values", stationId,
                    qUtf8Printable(it.key()));
            DataFileUnion joined;
            if (!store([&](const QString &connection) {
                    return StationValues(connection)
                        .read(stationId, targets, true,
                              [&](const StationValues::Value &v) { joined.add(v); });
                })) {
                *error = QStringLiteral("the station store does not answer");
                return false;
            }
            QString problem;
            if (!QDir().mkpath(folder) || !joined.write(localPath, header, unionPath, &problem)) {
                *error = problem.isEmpty() ? QStringLiteral("cannot write into %1").arg(folder) : problem;
                return false;
            }
            stamps.insert(unionPath, stamp);
        }
        result << unionPath;
    }
    *out = ChannelMap::byNameDate(result);
    return true;
}
