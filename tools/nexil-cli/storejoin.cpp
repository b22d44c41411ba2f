#include "storejoin.h"

#include "store/databaseconnection.h"
#include "store/databaseurl.h"
#include "store/readablefiles.h"

#include "nexil/excel/datalinereader.h"

#include <QCommandLineParser>
#include <QFile>
#include <QLocale>

#include <algorithm>

namespace {

QString stationCodeOf(const QString &path)
{
    QFile file(path);
    report::Header header;
    if (!file.open(QIODevice::ReadOnly) || !report::DataLineReader(&file).readHeader(&header))
        return QString();
    return header.stationCode;
}

} // namespace

bool joinWithStore(const QCommandLineParser &parser, const QStringList &files, const QString &tempDir,
                   QStringList *out, QString *problem, ValueFlags::Source *flags, const QDateTime &from,
                   const QDateTime &to)
{
    *out = files;
    if (!parser.isSet("database"))
        return true;
    QString code;
    for (const QString &path : files) {
        const QString own = stationCodeOf(path);
        if (own.isEmpty()) {
            *problem = QStringLiteral("%1: no station code in its header").arg(path);
            return false;
        }
        if (!code.isEmpty() && own != code) {
            *problem =
                QStringLiteral("--database: the files are of more than one station (%1, %2)").arg(code, own);
            return false;
        }
        code = own;
    }
    DatabaseUrl url;
    if (!DatabaseUrl::parse(parser.value("database"), &url, problem))
        return false;
    DatabaseConnection database;
    if (!database.open(url)) {
        *problem =
            QStringLiteral("the station store cannot be opened: %1").arg(DatabaseConnection::lastOpenError());
        return false;
    }
    const QList<DBStation> stations = DatabaseConnection::selectStations();
    const auto found =
        std::find_if(stations.cbegin(), stations.cend(), [&](const DBStation &s) { return s.code == code; });
    bool ok = found != stations.cend();
    if (!ok) {
        *problem = QStringLiteral("the station store has no station with the code %1").arg(code);
    } else {
        ReadableFiles readable(tempDir);
        const auto here = [](const std::function<bool(const QString &)> &question) {
            return question(DatabaseConnection::connectionName());
        };
        // No folder of the command's is a collector's: every file the store
        // holds values for is joined with them.
        ok = readable.files(found->id, QString(), files, false, here, out, problem);
        if (ok && flags) {
            const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
            ValueFlags loaded;
            ok = loaded.load(DatabaseConnection::connectionName(), found->id,
                             from.isValid() ? QLocale::c().toString(from, format) : QString(),
                             to.isValid() ? QLocale::c().toString(to, format) : QString());
            if (ok)
                *flags = loaded.source();
            else
                *problem = QStringLiteral("the station store does not answer");
        }
    }
    DatabaseConnection::close();
    return ok;
}
