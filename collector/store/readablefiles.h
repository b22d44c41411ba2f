#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

// The data files a reader (the HTTP routes, nexil-cli) goes through for a
// station: the folder's own files where they hold what the store committed
// for them, and otherwise the union of the folder's copy and the store's
// values (committed through another collector's folder, or after the copy
// was written), made in a cache folder and made again only when a commit or
// the copy changed.
class ReadableFiles
{
public:
    // Runs a question on the station store with the connection's name;
    // false when the store failed.
    using StoreRun = std::function<bool(const std::function<bool(const QString &connection)> &)>;

    explicit ReadableFiles(const QString &cacheDir);

    // local: the station's files in this collector's folder; destination:
    // that folder as the commits name it (empty: none is this one's, so every
    // file the store holds values for is joined with them). withStoreOnly:
    // also the files only the store knows of (another collector's newer
    // ones). Ordered by the date in their names. False, with *error, when the
    // store failed or a union could not be written.
    bool files(int stationId, const QString &destination, const QStringList &local, bool withStoreOnly,
               const StoreRun &store, QStringList *out, QString *error);

    // The folder a data file is committed under: host and canonical folder.
    static QString destinationOf(const QString &folder);
    // A file name from the store that may be used within a folder.
    static bool safeName(const QString &name);

private:
    QString cacheDir;
    std::mutex mutex;
    QHash<QString, QString> stamps; // union path → what it was made from
};
