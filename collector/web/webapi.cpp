#include "webapi.h"

#include "collection/collectionoptions.h"
#include "collection/metricsfile.h"
#include "collection/stationcompleteness.h"
#include "nexil/excel/datalinereader.h"
#include "nexil/excel/reportrules.h"
#include "nexil/files/channelmap.h"
#include "nexil/files/gapfinder.h"
#include "nexil/files/gapjson.h"
#include "nexil/files/seriesexporter.h"
#include "store/channelchecks.h"
#include "store/collectorheartbeats.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "store/stationsettings.h"
#include "store/stationstats.h"
#include "store/stationvisits.h"
#include "store/valueflags.h"
#include "store/workfolder.h"
#include "webaccounts.h"
#include "webevents.h"
#include "webexcel.h"
#include "weblogging.h"
#include "webstore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUrl>
#include <QVariant>

#include <cmath>
#include <iterator>
#include <map>
#include <memory>
#include <sodium.h>

namespace {

const char *const kMinute = "yyyy-MM-ddTHH:mm";
const char *const cookieName = "tqm510_session";
constexpr int sessionSeconds = 8 * 3600;

QJsonValue minuteOrNull(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(QLocale::c().toString(time, QLatin1String(kMinute))) : QJsonValue();
}

QByteArray randomToken()
{
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    return QByteArray(reinterpret_cast<const char *>(bytes), sizeof bytes).toHex();
}

bool loopbackHost(const QString &host)
{
    QString name = host.trimmed();
    if (name.startsWith(QLatin1Char('['))) {
        name = name.mid(1, name.indexOf(QLatin1Char(']')) - 1);
    } else if (name.count(QLatin1Char(':')) == 1) {
        name = name.section(QLatin1Char(':'), 0, 0);
    }
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(name);
    return !address.isNull() && address.isLoopback();
}

// Any code the store can hold is served (it is only compared with the
// store's, never put into a path); a bound keeps the lookups cheap.
bool validCode(const QString &code)
{
    if (code.isEmpty() || code.size() > 1024)
        return false;
    for (const QChar c : code)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

// A file's newest measured value per channel, kept while the file is unchanged.
struct Latest
{
    struct Value
    {
        QString time, value;
        QString name, unit;
        bool sensorError = false;
    };
    qint64 size = -1;
    QDateTime modified;
    std::map<int, Value> channels;
    QString newest;
    QString supplyVoltage;
};

std::mutex latestMutex;
QHash<QString, Latest> latestCache;

Latest latestOf(const QString &path)
{
    const QFileInfo info(path);
    {
        std::lock_guard<std::mutex> lock(latestMutex);
        const auto it = latestCache.constFind(path);
        if (it != latestCache.constEnd() && it->size == info.size() && it->modified == info.lastModified())
            return *it;
    }
    Latest latest;
    latest.size = info.size();
    latest.modified = info.lastModified();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        report::DataLineReader reader(&file);
        report::Header header;
        if (reader.readHeader(&header)) {
            latest.supplyVoltage = header.supplyVoltage;
            report::Line line;
            while (reader.readLine(&line)) {
                if (line.type != report::LineType::Ins || line.date.size() != 10 || line.time.size() != 5)
                    continue;
                const QString time = line.date + QLatin1Char('T') + line.time;
                Latest::Value &v = latest.channels[line.channel];
                if (time >= v.time) {
                    v.time = time;
                    v.value = line.valueText;
                    v.sensorError = report::isSensorError(line.value);
                }
                if (time > latest.newest)
                    latest.newest = time;
            }
            for (const report::Channel &c : header.channels) {
                auto it = latest.channels.find(c.id);
                if (it != latest.channels.end()) {
                    it->second.name = c.name;
                    it->second.unit = c.unit;
                }
            }
        }
    }
    std::lock_guard<std::mutex> lock(latestMutex);
    if (latestCache.size() > 10000)
        latestCache.clear();
    latestCache.insert(path, latest);
    return latest;
}

QStringList filesOf(const DBStation &s)
{
    // Only names the collector writes, in the station's own folder: nothing a
    // request says goes into a path. A folder is listed again only when it
    // changed (a stat instead of a listing for each station of a long list).
    struct Listing
    {
        QDateTime modified;
        QString prefix;
        QStringList files;
    };
    static std::mutex mutex;
    static QHash<QString, Listing> listings;
    const QString folder = WorkFolder::stationDir(s.file_path);
    const QFileInfo info(folder);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = listings.constFind(folder);
        if (it != listings.constEnd() && it->modified == modified && it->prefix == s.file_name &&
            modified.isValid())
            return it->files;
        if (!modified.isValid())
            return QStringList();
    }
    const QStringList files = StationCompleteness::stationFiles(folder, s.file_name, QDateTime());
    std::lock_guard<std::mutex> lock(mutex);
    if (listings.size() > 20000)
        listings.clear();
    listings.insert(folder, Listing{modified, s.file_name, files});
    return files;
}

// A JSON number as the file writes it, or null for a text that is none.
QByteArray jsonNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    return number.match(text).hasMatch() ? text.toLatin1() : QByteArray("null");
}

QByteArray csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

// Streams the measured values of a station's files, one channel after the
// other (JSON) or in file order (CSV); at most one file is open at a time and
// only one buffer of output is held. Channels are followed across the files
// by their identity (ChannelMap), not by their position in each. Each value
// carries its quality flag from the store (the files hold none).
class DataStream
{
public:
    DataStream(QStringList files, QList<int> channels, bool allChannels, QString from, QString to, bool csv,
               ValueFlags::Source flags)
        : files(std::move(files)), wanted(std::move(channels)), all(allChannels), from(std::move(from)),
          to(std::move(to)), csv(csv), flags(std::move(flags))
    {
        // Headers only; a file whose header cannot be read adds nothing.
        QVector<report::Header> headers;
        for (const QString &path : qAsConst(this->files)) {
            QFile f(path);
            report::Header header;
            if (f.open(QIODevice::ReadOnly)) {
                report::DataLineReader r(&f);
                if (!r.readHeader(&header))
                    header = report::Header();
            }
            headers.append(header);
        }
        map.build(headers);
        for (const ChannelMap::Identity &c : map.identities())
            names.insert(c.number, {c.name, c.unit});
    }

    qint64 produce(char *buf, size_t size)
    {
        while (pending.size() - offset < int(size) && !done)
            fill();
        const qint64 n = qMin<qint64>(qint64(size), pending.size() - offset);
        memcpy(buf, pending.constData() + offset, size_t(n));
        offset += int(n);
        if (offset > 64 * 1024 || offset == pending.size()) {
            pending.remove(0, offset);
            offset = 0;
        }
        return n;
    }

private:
    void fill()
    {
        if (!started) {
            started = true;
            if (csv) {
                pending += "time,channel,value,flag\n";
                passChannel = -1;
            } else {
                if (all)
                    wanted = channelsOfFiles();
                pending += "{\"channels\":[";
            }
            nextPass();
            return;
        }
        if (!reader) {
            if (fileIndex >= files.size()) {
                if (csv) {
                    done = true;
                    return;
                }
                pending += "]}";
                nextPass();
                return;
            }
            readIndex = fileIndex++;
            const QVector<int> positions =
                csv && all ? QVector<int>()
                           : map.positionsOf(readIndex, csv ? wanted.toVector() : QVector<int>{passChannel});
            if (!(csv && all) && positions.isEmpty())
                return; // none of the channels asked for
            file = std::make_unique<QFile>(files.at(readIndex));
            fileName = QFileInfo(files.at(readIndex)).fileName();
            if (!file->open(QIODevice::ReadOnly))
                return;
            reader = std::make_unique<report::DataLineReader>(file.get());
            reader->setFilter(positions, true);
            report::Header header;
            if (!reader->readHeader(&header)) {
                reader.reset();
                return;
            }
            return;
        }
        report::Line line;
        for (int n = 0; n < 256; ++n) {
            if (!reader->readLine(&line)) {
                reader.reset();
                file.reset();
                return;
            }
            if (line.type != report::LineType::Ins || line.date.size() != 10 || line.time.size() != 5)
                continue;
            const int channel = map.numberOrUnlisted(readIndex, line.channel);
            if (csv ? (!all && !wanted.contains(channel)) : channel != passChannel)
                continue;
            const QString time = line.date + QLatin1Char('T') + line.time;
            if ((!from.isEmpty() && time < from) || (!to.isEmpty() && time > to))
                continue;
            const QByteArray flag =
                QByteArray::number(flags(fileName, line.channel, ValueFlags::minuteOf(line.date, line.time)));
            if (csv) {
                pending += csvField(time) + ',' + QByteArray::number(channel) + ',' +
                           csvField(line.valueText) + ',' + flag + '\n';
            } else {
                // The device's sensor-error values are no measurement: a gap.
                pending +=
                    (firstValue ? "[\"" : ",[\"") + time.toLatin1() + "\"," +
                    (report::isSensorError(line.value) ? QByteArray("null") : jsonNumber(line.valueText)) +
                    ',' + flag + ']';
                firstValue = false;
            }
        }
    }

    // JSON: the next channel's head, files read again from the first.
    void nextPass()
    {
        fileIndex = 0;
        if (csv)
            return;
        if (passIndex >= wanted.size()) {
            pending += "]}";
            done = true;
            return;
        }
        passChannel = wanted.at(passIndex);
        const QPair<QString, QString> nameUnit = names.value(passChannel);
        const QJsonObject head{
            {QStringLiteral("channel"), passChannel},
            {QStringLiteral("name"), nameUnit.first},
            {QStringLiteral("unit"), nameUnit.second},
            {QStringLiteral("columns"),
             QJsonArray{QStringLiteral("time"), QStringLiteral("value"), QStringLiteral("flag")}}};
        QByteArray text = QJsonDocument(head).toJson(QJsonDocument::Compact);
        text.chop(1);
        pending += (passIndex > 0 ? "," : "") + text + ",\"values\":[";
        firstValue = true;
        ++passIndex;
    }

    QList<int> channelsOfFiles()
    {
        QList<int> out;
        for (const ChannelMap::Identity &c : map.identities())
            if (!c.unlisted)
                out.append(c.number);
        return out;
    }

public:
    QHash<int, QPair<QString, QString>> names;

private:
    QStringList files;
    QList<int> wanted;
    bool all;
    QString from, to;
    bool csv;
    ValueFlags::Source flags;
    QString fileName;
    ChannelMap map;
    bool started = false, done = false, firstValue = true;
    int fileIndex = 0, readIndex = 0, passIndex = 0, passChannel = -1;
    std::unique_ptr<QFile> file;
    std::unique_ptr<report::DataLineReader> reader;
    QByteArray pending;
    int offset = 0;
};

// The flags of a station's values in a range (wall-clock times, either end
// invalid: open) from the store, on its thread; false, with the same answer
// readableFiles gives, when the store does not answer.
bool storeFlags(WebStore &store, int stationId, const QDateTime &from, const QDateTime &to,
                ValueFlags::Source *flags, WebResponse *failure)
{
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    const QString first = from.isValid() ? QLocale::c().toString(from, format) : QString();
    const QString last = to.isValid() ? QLocale::c().toString(to, format) : QString();
    ValueFlags loaded;
    const bool ok = store.run([&](const QString &connection) {
        return loaded.load(connection, stationId, first, last) ||
               (WebStore::reopen(connection) && loaded.load(connection, stationId, first, last));
    });
    if (!ok) {
        qCWarning(lcWeb, "station %d: the flags cannot be read from the store", stationId);
        *failure = WebResponse::error(503, QStringLiteral("the station store does not answer"));
        return false;
    }
    *flags = loaded.source();
    return true;
}

struct StationRow
{
    DBStation station;
    StationStats stats;
    QString holder;
    QList<ChannelChecks::ActiveAlarm> alarms; // the value alarms up now
};

// The store's version: SQLite counts the commits of other connections, so an
// unchanged list is not read again; a server's list is kept for a second.
qint64 storeVersion(const QString &connection)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (query.driver() && query.driver()->dbmsType() == QSqlDriver::SQLite &&
        query.exec(QStringLiteral("PRAGMA data_version")) && query.next())
        return query.value(0).toLongLong();
    return QDateTime::currentMSecsSinceEpoch() / 1000;
}

QList<StationRow> readStations(const QString &connection, bool *ok);

QList<StationRow> loadStations(WebStore &store, bool *ok)
{
    // Only the store thread reads and writes the cache.
    static QList<StationRow> cached;
    static qint64 cachedVersion = -1;
    static const WebStore *cachedStore = nullptr;
    return store.run([ok, &store](const QString &connection) {
        const qint64 version = storeVersion(connection);
        if (version == cachedVersion && cachedStore == &store) {
            *ok = true;
            return cached;
        }
        const QList<StationRow> rows = readStations(connection, ok);
        cached = *ok ? rows : QList<StationRow>();
        cachedVersion = *ok ? version : -1;
        cachedStore = &store;
        return rows;
    });
}

QList<StationRow> readStations(const QString &connection, bool *ok)
{
    return [&] {
        QList<StationRow> rows;
        QList<DBStation> stations = DatabaseConnection::selectStationsWithStatus(ok, connection);
        if (!*ok && WebStore::reopen(connection))
            stations = DatabaseConnection::selectStationsWithStatus(ok, connection);
        if (!*ok)
            return rows;
        const QHash<int, StationStats> stats = StationStatsStore::load(connection);
        QHash<int, QString> holders;
        QSqlQuery query(QSqlDatabase::database(connection, false));
        if (query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL &&
            query.exec(
                QStringLiteral("SELECT station_id, holder FROM station_leases WHERE expires_at > now()"))) {
            while (query.next())
                holders.insert(query.value(0).toInt(), query.value(1).toString());
        }
        // Every station's value alarms in one read; a store without the
        // alarms' table (or failing at it) lists the stations without them.
        QList<ChannelChecks::ActiveAlarm> up;
        QHash<QString, QList<ChannelChecks::ActiveAlarm>> alarms;
        if (ChannelChecks(connection).activeAlarms(&up))
            for (const ChannelChecks::ActiveAlarm &a : qAsConst(up))
                alarms[a.code].append(a);
        for (const DBStation &s : stations)
            rows.append({s, stats.value(s.id), holders.value(s.id), alarms.value(s.code)});
        return rows;
    }();
}

// JSON text written directly: a list of thousands of stations is the most
// asked-for answer, and building it as objects first costs as much as
// reading the store.
void appendText(QByteArray &out, const QString &text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uchar(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(uchar(c)));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendNumber(QByteArray &out, double value)
{
    if (std::isfinite(value))
        out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    else
        out += "null";
}

void appendMinute(QByteArray &out, const QDateTime &time)
{
    if (time.isValid())
        appendText(out, QLocale::c().toString(time, QLatin1String(kMinute)));
    else
        out += "null";
}

QByteArray stationText(const StationRow &row)
{
    const DBStation &s = row.station;
    const StationStats &st = row.stats;
    QString newest, supply;
    const QStringList files = filesOf(s);
    if (!files.isEmpty()) {
        const Latest latest = latestOf(files.constLast());
        newest = latest.newest;
        supply = latest.supplyVoltage;
    }
    QDateTime next;
    if (s.active && s.last_connection_time.isValid())
        next = s.last_connection_time.addSecs(qint64(s.connection_period) * 60);
    QByteArray out;
    out.reserve(512);
    out += "{\"id\":" + QByteArray::number(s.id) + ",\"code\":";
    appendText(out, s.code);
    out += ",\"title\":";
    appendText(out, s.title);
    out += s.active ? ",\"active\":true,\"status\":" : ",\"active\":false,\"status\":";
    appendText(out, s.status);
    out += ",\"error\":";
    if (st.consecutiveFailures > 0)
        appendText(out, st.lastReason);
    else
        out += "null";
    out += ",\"lastConnection\":";
    appendMinute(out, s.last_connection_time);
    out += ",\"lastSuccess\":";
    appendMinute(out, st.lastSuccess);
    out += ",\"newestValue\":";
    if (newest.isEmpty())
        out += "null";
    else
        appendText(out, newest);
    out += ",\"nextVisit\":";
    appendMinute(out, next);
    out += ",\"completeness30d\":";
    if (st.completenessKnown)
        appendNumber(out, st.completeness30d);
    else
        out += "null";
    out += ",\"clockDriftSeconds\":";
    out += st.driftKnown ? QByteArray::number(st.lastDriftSeconds) : QByteArray("null");
    out += ",\"supplyVoltage\":" + jsonNumber(supply);
    out += ",\"memoryFullAt\":";
    appendMinute(out, st.memoryFull);
    out += ",\"coordinate\":";
    appendText(out, s.coordinate);
    out += ",\"holder\":";
    if (row.holder.isEmpty())
        out += "null";
    else
        appendText(out, row.holder);
    out += ",\"valueAlarms\":[";
    for (int i = 0; i < row.alarms.size(); ++i) {
        const ChannelChecks::ActiveAlarm &a = row.alarms.at(i);
        out += (i > 0 ? ",{\"slot\":" : "{\"slot\":") + QByteArray::number(a.slot) + ",\"kind\":";
        appendText(out, ValueAlarms::kindName(a.kind));
        out += ",\"since\":";
        appendMinute(out, QartodFlags::dateTimeOf(a.since));
        out += ",\"value\":";
        appendNumber(out, a.value);
        out += '}';
    }
    out += "]}";
    return out;
}

QJsonObject stationJson(const StationRow &row)
{
    return QJsonDocument::fromJson(stationText(row)).object();
}

bool parseRange(const WebRequest &request, QDateTime *from, QDateTime *to, QString *problem)
{
    if (request.query.contains(QStringLiteral("from")) &&
        !GapJson::parseDate(request.query.value(QStringLiteral("from")), false, from)) {
        *problem = QStringLiteral("from takes yyyy-MM-dd or yyyy-MM-ddTHH:mm");
        return false;
    }
    if (request.query.contains(QStringLiteral("to")) &&
        !GapJson::parseDate(request.query.value(QStringLiteral("to")), true, to)) {
        *problem = QStringLiteral("to takes yyyy-MM-dd or yyyy-MM-ddTHH:mm");
        return false;
    }
    if (from->isValid() && to->isValid() && *from > *to) {
        *problem = QStringLiteral("from is after to");
        return false;
    }
    return true;
}

} // namespace

WebApi::WebApi(WebStore &store, WebEvents &events, Actions actions)
    : store(store), webEvents(events), actions(std::move(actions))
{
    if (sodium_init() < 0)
        qCDebug(lcWeb, "the cryptography library did not start");
    basicKey = randomToken();
    WebAccounts::prepare();
}

void WebApi::setLoginLimit(int count, int windowMs)
{
    loginFailures = count;
    loginWindowMs = windowMs;
}

void WebApi::setPages(WebHandler handler, const QByteArray &imageSource)
{
    pages = std::move(handler);
    if (!imageSource.isEmpty())
        policy = "img-src 'self' data: " + imageSource + "; ";
}

WebResponse WebApi::handle(const WebRequest &request)
{
    WebResponse response = route(request);
    secure(response);
    return response;
}

void WebApi::secure(WebResponse &response) const
{
    // Nothing served here may run inline script or be framed or sniffed.
    response.addHeader("Content-Security-Policy",
                       "default-src 'self'; script-src 'self'; object-src 'none'; base-uri 'none'; " +
                           policy + "frame-ancestors 'none'; form-action 'self'");
    response.addHeader("X-Content-Type-Options", "nosniff");
    response.addHeader("Referrer-Policy", "no-referrer");
    response.addHeader("X-Frame-Options", "DENY");
    response.addHeader("Cache-Control", "no-store");
    if (tls)
        response.addHeader("Strict-Transport-Security", "max-age=31536000");
}

WebResponse WebApi::route(const WebRequest &request)
{
    const QString &path = request.path;
    const bool get = request.method == QLatin1String("GET") || request.method == QLatin1String("HEAD");
    const bool post = request.method == QLatin1String("POST");
    const auto wrongMethod = [](const char *allowed) {
        WebResponse r = WebResponse::error(405, QStringLiteral("method not allowed"));
        r.addHeader("Allow", allowed);
        return r;
    };
    if (path.contains(QLatin1String("..")) || path.contains(QLatin1Char('\\')) || path.contains(QChar(0)))
        return WebResponse::error(400, QStringLiteral("bad path"));
    // Without accounts only this machine may ask; a page elsewhere that has
    // a name of its own resolve to 127.0.0.1 still names itself in Host.
    if (!loginRequired && !loopbackHost(request.header("host")))
        return WebResponse::error(403, QStringLiteral("only localhost may use this server without accounts"));

    if (pages && !path.startsWith(QLatin1String("/api/")) && path != QLatin1String("/metrics"))
        return pages(request);
    if (path == QLatin1String("/api/v1/openapi.json"))
        return get ? openApi() : wrongMethod("GET");
    if (path == QLatin1String("/api/v1/session"))
        return get ? session(request) : wrongMethod("GET");
    if (path == QLatin1String("/api/v1/login"))
        return post ? login(request) : wrongMethod("POST");

    // Everything else is for a session's holder. The segments are split
    // before decoding, so a code may hold any character, '/' too.
    // (A request made inside, without the path as sent, is split as it is.)
    const bool raw =
        !request.rawPath.isEmpty() && QUrl::fromPercentEncoding(request.rawPath.toUtf8()) == path;
    QStringList parts;
    for (const QString &part : (raw ? request.rawPath : path).split(QLatin1Char('/')))
        parts.append(raw ? QUrl::fromPercentEncoding(part.toUtf8()) : part);
    const bool known =
        path == QLatin1String("/metrics") || path == QLatin1String("/api/v1/logout") ||
        path == QLatin1String("/api/v1/events") || path == QLatin1String("/api/v1/stations") ||
        (path.startsWith(QLatin1String("/api/v1/stations/")) && parts.size() >= 5 && parts.size() <= 6);
    if (!known)
        return WebResponse::error(404, QStringLiteral("no such route"));
    Session s;
    if (!post && request.header("authorization").startsWith(QLatin1String("Basic "), Qt::CaseInsensitive)) {
        WebResponse refusal;
        if (!basicLogin(request, &s, &refusal))
            return refusal;
    } else if (!findSession(request, &s)) {
        return WebResponse::error(401, QStringLiteral("login required"));
    }
    if (post) {
        // A page of another site cannot read the token, so it cannot send it.
        const QByteArray token = request.header("x-csrf-token").toLatin1();
        if (token.isEmpty() || token.size() != s.csrf.size() ||
            sodium_memcmp(token.constData(), s.csrf.constData(), size_t(s.csrf.size())) != 0)
            return WebResponse::error(403, QStringLiteral("missing or wrong CSRF token"));
    }

    if (path == QLatin1String("/api/v1/logout"))
        return post ? logout(request) : wrongMethod("POST");
    if (path == QLatin1String("/metrics"))
        return get ? metrics() : wrongMethod("GET");
    if (path == QLatin1String("/api/v1/events"))
        return get ? events(s) : wrongMethod("GET");
    if (path == QLatin1String("/api/v1/stations"))
        return get ? stations() : wrongMethod("GET");

    const QString code = parts.at(4);
    if (!validCode(code))
        return WebResponse::error(400, QStringLiteral("bad station code"));
    if (parts.size() == 5)
        return get ? station(code) : wrongMethod("GET");
    const QString what = parts.at(5);
    if (what == QLatin1String("visits"))
        return get ? visits(code, request) : wrongMethod("GET");
    if (what == QLatin1String("data"))
        return get ? data(code, request) : wrongMethod("GET");
    if (what == QLatin1String("gaps"))
        return get ? gaps(code, request) : wrongMethod("GET");
    if (what == QLatin1String("config-history"))
        return get ? configHistory(code) : wrongMethod("GET");
    if (what == QLatin1String("visit") || what == QLatin1String("active")) {
        if (!post)
            return wrongMethod("POST");
        if (s.role != QLatin1String("operator"))
            return WebResponse::error(403, QStringLiteral("operators only"));
        return what == QLatin1String("visit") ? visitNow(code) : setActive(code, request);
    }
    return WebResponse::error(404, QStringLiteral("no such route"));
}

bool WebApi::findSession(const WebRequest &request, Session *session)
{
    const QByteArray token = request.cookies.value(QLatin1String(cookieName)).toLatin1();
    if (!loginRequired) {
        // Anyone here may read; a POST still needs the token of its cookie.
        *session = Session{};
        session->role = QStringLiteral("operator");
        if (token.size() == 64)
            session->csrf = csrfOf(token);
        return true;
    }
    std::lock_guard<std::mutex> lock(mutex);
    auto it = sessions.find(token);
    if (token.isEmpty() || it == sessions.end())
        return false;
    if (it->expires < QDateTime::currentDateTimeUtc()) {
        dropSession(token);
        return false;
    }
    *session = *it;
    return true;
}

QByteArray WebApi::csrfOf(const QByteArray &token) const
{
    unsigned char out[32];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char *>(token.constData()),
                       size_t(token.size()), reinterpret_cast<const unsigned char *>(basicKey.constData()),
                       size_t(basicKey.size()));
    return QByteArray(reinterpret_cast<const char *>(out), sizeof out).toHex();
}

void WebApi::dropSession(QByteArray token)
{
    const auto it = sessions.find(token);
    if (it == sessions.end())
        return;
    if (it->alive)
        it->alive->store(false);
    sessionOrder.erase(it->order);
    auto mine = sessionsOfAddress.find(it->address);
    if (mine != sessionsOfAddress.end()) {
        mine->erase(it->order);
        if (mine->empty())
            sessionsOfAddress.erase(mine);
    }
    sessions.erase(it);
}

QByteArray WebApi::newSession(const QString &user, const QString &role, const QByteArray &print,
                              const QString &address, Session *session)
{
    const QByteArray token = randomToken();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    *session = Session{user,
                       role,
                       randomToken(),
                       now.addSecs(sessionSeconds),
                       print,
                       address,
                       0,
                       std::make_shared<std::atomic<bool>>(true)};
    bool dropped = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // All last as long, so the oldest is the first to expire: the table
        // is bounded without a scan, per address (one client cannot push
        // out the others) and in all.
        while (!sessionOrder.empty() && sessions.value(sessionOrder.begin()->second).expires < now) {
            dropSession(sessionOrder.begin()->second);
            dropped = true;
        }
        const auto mine = sessionsOfAddress.constFind(address);
        if (mine != sessionsOfAddress.constEnd() && int(mine->size()) >= maxSessionsPerAddress) {
            dropSession(sessionOrder.at(*mine->begin()));
            dropped = true;
        }
        while (sessions.size() >= maxSessions) {
            dropSession(sessionOrder.begin()->second);
            dropped = true;
        }
        session->order = nextOrder++;
        sessions.insert(token, *session);
        sessionOrder.emplace(session->order, token);
        sessionsOfAddress[address].insert(session->order);
    }
    if (dropped)
        webEvents.wake();
    return token;
}

void WebApi::syncAccounts(const QString &connection)
{
    if (!loginRequired)
        return;
    bool ok = false;
    const QHash<QString, QByteArray> now = WebAccounts::prints(connection, &ok);
    if (!ok) {
        WebStore::reopen(connection);
        return;
    }
    bool dropped = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (now == accountPrints)
            return;
        accountPrints = now;
        QList<QByteArray> gone;
        for (auto it = sessions.constBegin(); it != sessions.constEnd(); ++it)
            if (now.value(it->user) != it->print)
                gone.append(it.key());
        for (const QByteArray &token : qAsConst(gone))
            dropSession(token);
        dropped = !gone.isEmpty();
        for (auto it = basicPairs.begin(); it != basicPairs.end();) {
            if (now.value(it->user) != it->print) {
                it->alive->store(false);
                it = basicPairs.erase(it);
                dropped = true;
            } else {
                ++it;
            }
        }
    }
    if (dropped) {
        qCDebug(lcWeb, "an account changed: its sessions ended");
        webEvents.wake();
    }
}

QByteArray WebApi::sessionCookie(const QByteArray &token, int maxAgeSeconds) const
{
    QByteArray cookie = QByteArray(cookieName) + '=' + token +
                        "; Path=/; Max-Age=" + QByteArray::number(maxAgeSeconds) +
                        "; HttpOnly; SameSite=Strict";
    if (tls)
        cookie += "; Secure";
    return cookie;
}

WebResponse WebApi::session(const WebRequest &request)
{
    Session s;
    QByteArray token = request.cookies.value(QLatin1String(cookieName)).toLatin1();
    bool have = false;
    WebResponse r;
    if (!loginRequired) {
        // Without accounts a session only carries the CSRF token.
        static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
        if (!hex.match(QString::fromLatin1(token)).hasMatch()) {
            token = randomToken();
            r.addHeader("Set-Cookie", sessionCookie(token, sessionSeconds));
        }
        s.role = QStringLiteral("operator");
        s.csrf = csrfOf(token);
        have = true;
    } else {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = sessions.constFind(token);
        if (!token.isEmpty() && it != sessions.constEnd() && it->expires > QDateTime::currentDateTimeUtc()) {
            s = *it;
            have = true;
        }
    }
    const WebResponse body = WebResponse::json(
        200,
        QJsonObject{
            {QStringLiteral("loginRequired"), loginRequired},
            {QStringLiteral("authenticated"), have},
            {QStringLiteral("user"), have && !s.user.isEmpty() ? QJsonValue(s.user) : QJsonValue()},
            {QStringLiteral("role"), have ? QJsonValue(s.role) : QJsonValue()},
            {QStringLiteral("csrfToken"), have ? QJsonValue(QString::fromLatin1(s.csrf)) : QJsonValue()}});
    r.body = body.body;
    return r;
}

bool WebApi::checkPassword(const QString &address, const QString &name, const QByteArray &password,
                           QString *role, QByteArray *print, WebResponse *refusal)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        std::lock_guard<std::mutex> lock(mutex);
        // Addresses whose window is over are forgotten before the table grows large.
        if (failures.size() > maxSessions) {
            for (auto it = failures.begin(); it != failures.end();)
                it = now - it->since > loginWindowMs && !it->checking ? failures.erase(it) : std::next(it);
        }
        Failures &f = failures[address];
        if (now - f.since > loginWindowMs) {
            f.count = 0;
            f.since = now;
        }
        if (f.checking || f.count >= loginFailures) {
            *refusal = WebResponse::error(429, QStringLiteral("too many failed logins; try again later"));
            refusal->addHeader("Retry-After",
                               f.checking ? QByteArray("1")
                                          : QByteArray::number((f.since + loginWindowMs - now) / 1000 + 1));
            return false;
        }
        // The attempt counts from now: parallel ones cannot all pass the limit.
        ++f.count;
        f.checking = true;
    }
    QByteArray hash;
    const bool known = WebAccounts::isName(name) && store.run([&](const QString &connection) {
        return WebAccounts::find(connection, name, &hash, role);
    });
    if (!known)
        hash.clear();
    // An unknown name is checked against a hash of no account: it takes as long.
    const bool good = WebAccounts::verify(hash, password) && known && !password.isEmpty();
    std::lock_guard<std::mutex> lock(mutex);
    if (!good) {
        failures[address].checking = false;
        *refusal = WebResponse::error(401, QStringLiteral("wrong name or password"));
        return false;
    }
    failures.remove(address);
    *print = role->toUtf8() + '\n' + hash;
    return true;
}

bool WebApi::basicLogin(const WebRequest &request, Session *session, WebResponse *refusal)
{
    // For scrapers and scripts, which keep no cookies: reading only. A check
    // costs tens of megabytes for a moment, so a good pair is remembered
    // (as a keyed hash, never the password) for a few minutes, or until its
    // account changes.
    const QByteArray pair =
        QByteArray::fromBase64(request.header("authorization").mid(6).trimmed().toLatin1());
    const int colon = pair.indexOf(':');
    if (colon <= 0) {
        *refusal = WebResponse::error(401, QStringLiteral("wrong name or password"));
        return false;
    }
    const QString name = QString::fromUtf8(pair.left(colon));
    const QByteArray password = pair.mid(colon + 1);
    QByteArray key(crypto_generichash_BYTES, '\0');
    crypto_generichash(reinterpret_cast<unsigned char *>(key.data()), size_t(key.size()),
                       reinterpret_cast<const unsigned char *>(pair.constData()), size_t(pair.size()),
                       reinterpret_cast<const unsigned char *>(basicKey.constData()),
                       size_t(basicKey.size()));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = basicPairs.constFind(key);
        if (it != basicPairs.constEnd() && it->expires > now) {
            *session = *it;
            return true;
        }
    }
    QString role;
    QByteArray print;
    // The check (which takes the lock itself) runs outside it.
    if (!checkPassword(request.clientAddress, name, password, &role, &print, refusal))
        return false;
    *session = Session{name,
                       role,
                       QByteArray(),
                       now.addSecs(300),
                       print,
                       request.clientAddress,
                       0,
                       std::make_shared<std::atomic<bool>>(true)};
    std::lock_guard<std::mutex> lock(mutex);
    if (basicPairs.size() > 1000)
        basicPairs.clear();
    basicPairs.insert(key, *session);
    return true;
}

WebResponse WebApi::login(const WebRequest &request)
{
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const QString name = body.value(QStringLiteral("name")).toString();
    const QByteArray password = body.value(QStringLiteral("password")).toString().toUtf8();
    QString role;
    QByteArray print;
    WebResponse refusal;
    if (!checkPassword(request.clientAddress, name, password, &role, &print, &refusal))
        return refusal;
    Session s;
    const QByteArray token = newSession(name, role, print, request.clientAddress, &s);
    WebResponse r =
        WebResponse::json(200, QJsonObject{{QStringLiteral("user"), name},
                                           {QStringLiteral("role"), role},
                                           {QStringLiteral("csrfToken"), QString::fromLatin1(s.csrf)}});
    r.addHeader("Set-Cookie", sessionCookie(token, sessionSeconds));
    return r;
}

WebResponse WebApi::logout(const WebRequest &request)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        dropSession(request.cookies.value(QLatin1String(cookieName)).toLatin1());
    }
    webEvents.wake();
    WebResponse r = WebResponse::json(200, QJsonObject{});
    r.addHeader("Set-Cookie", sessionCookie("", 0));
    return r;
}

WebResponse WebApi::stations()
{
    bool ok = false;
    const QList<StationRow> rows = loadStations(store, &ok);
    if (!ok)
        return WebResponse::error(503, QStringLiteral("the store does not answer"));
    WebResponse r;
    r.body.reserve(rows.size() * 320 + 16);
    r.body += "{\"stations\":[";
    for (int i = 0; i < rows.size(); ++i) {
        if (i > 0)
            r.body += ',';
        r.body += stationText(rows.at(i));
    }
    r.body += "]}";
    return r;
}

namespace {

bool findStation(WebStore &store, const QString &code, StationRow *found, WebResponse *failure)
{
    bool ok = false;
    const QList<StationRow> rows = loadStations(store, &ok);
    if (!ok) {
        *failure = WebResponse::error(503, QStringLiteral("the store does not answer"));
        return false;
    }
    for (const StationRow &row : rows) {
        if (row.station.code == code) {
            *found = row;
            return true;
        }
    }
    *failure = WebResponse::error(404, QStringLiteral("no such station"));
    return false;
}

QJsonArray visitsJson(const QList<StationVisit> &visits)
{
    QJsonArray list;
    for (const StationVisit &v : visits)
        list.append(QJsonObject{{QStringLiteral("start"), minuteOrNull(v.start)},
                                {QStringLiteral("end"), minuteOrNull(v.end)},
                                {QStringLiteral("result"), v.result},
                                {QStringLiteral("reason"), v.reason},
                                {QStringLiteral("records"), v.records},
                                {QStringLiteral("bytes"), v.bytes}});
    return list;
}

// An alarms setting's limits as numbers, for the chart's lines; null when
// there is none or it does not read.
QJsonValue limitsJson(const QString &text)
{
    ValueAlarms::Settings settings;
    QString error;
    if (text.trimmed().isEmpty() || !ValueAlarms::Settings::parse(text, &settings, &error))
        return QJsonValue();
    QJsonObject o;
    if (settings.high)
        o.insert(QStringLiteral("high"), QJsonObject{{QStringLiteral("limit"), settings.highLimit},
                                                     {QStringLiteral("clear"), settings.highClear}});
    if (settings.low)
        o.insert(QStringLiteral("low"), QJsonObject{{QStringLiteral("limit"), settings.lowLimit},
                                                    {QStringLiteral("clear"), settings.lowClear}});
    if (settings.rise)
        o.insert(QStringLiteral("rise"),
                 QJsonObject{{QStringLiteral("amount"), settings.riseLimit},
                             {QStringLiteral("clear"), settings.riseClear},
                             {QStringLiteral("periodMinutes"), double(settings.risePeriod)}});
    return o;
}

} // namespace

WebResponse WebApi::station(const QString &code)
{
    StationRow row;
    WebResponse failure;
    if (!findStation(store, code, &row, &failure))
        return failure;
    QJsonObject o = stationJson(row);
    const StationStats &st = row.stats;
    o.insert(QStringLiteral("statistics"),
             QJsonObject{{QStringLiteral("visits"), st.visits},
                         {QStringLiteral("successes"), st.successes},
                         {QStringLiteral("failures"), st.failures()},
                         {QStringLiteral("retries"), st.retries},
                         {QStringLiteral("consecutiveFailures"), st.consecutiveFailures},
                         {QStringLiteral("records"), st.records},
                         {QStringLiteral("bytes"), st.bytes},
                         {QStringLiteral("lastDurationMs"), st.lastDurationMs}});
    const int id = row.station.id;
    bool ok = false;
    const QList<StationVisit> recent = store.run([&](const QString &connection) {
        return StationVisits::select(id, QDateTime::currentDateTime().addDays(-1), QDateTime(), 1000,
                                     connection, &ok);
    });
    o.insert(QStringLiteral("visits"), visitsJson(recent));
    QJsonArray latest;
    const QStringList files = filesOf(row.station);
    if (!files.isEmpty()) {
        const Latest l = latestOf(files.constLast());
        for (const auto &c : l.channels) {
            const QByteArray number = c.second.sensorError ? QByteArray("null") : jsonNumber(c.second.value);
            latest.append(QJsonObject{
                {QStringLiteral("channel"), c.first},
                {QStringLiteral("name"), c.second.name},
                {QStringLiteral("unit"), c.second.unit},
                {QStringLiteral("time"), c.second.time},
                {QStringLiteral("value"), number == "null" ? QJsonValue() : QJsonValue(number.toDouble())},
                {QStringLiteral("sensorError"), c.second.sensorError}});
        }
    }
    o.insert(QStringLiteral("latest"), latest);
    // Each device slot's quality tests and value alarms, and the alarms up now.
    QList<ChannelChecks::Channel> checks;
    if (!store.run(
            [&](const QString &connection) { return ChannelChecks(connection).channels(id, &checks); }))
        return WebResponse::error(503, QStringLiteral("the store does not answer"));
    // Which of the data route's channels each slot is: the data file and
    // position its newest value was committed with, numbered as the data
    // route numbers the files' channels.
    QList<int> slotList;
    for (const ChannelChecks::Channel &c : qAsConst(checks))
        slotList.append(c.slot);
    QHash<int, ChannelChecks::Placement> placed;
    if (!slotList.isEmpty() && !store.run([&](const QString &connection) {
            return ChannelChecks(connection).placements(id, slotList, &placed);
        }))
        return WebResponse::error(503, QStringLiteral("the store does not answer"));
    const QHash<int, int> numbers = dataChannels(row.station, placed);
    QJsonArray checked;
    for (const ChannelChecks::Channel &c : qAsConst(checks)) {
        QJsonArray active;
        for (ValueAlarms::Kind kind :
             {ValueAlarms::Kind::High, ValueAlarms::Kind::Low, ValueAlarms::Kind::Rise}) {
            const ValueAlarms::State::Alarm &a = c.state.alarm(kind);
            if (a.active)
                active.append(QJsonObject{{QStringLiteral("kind"), ValueAlarms::kindName(kind)},
                                          {QStringLiteral("since"), QartodFlags::dateTimeOf(a.since).toString(
                                                                        QStringLiteral("yyyy-MM-ddTHH:mm"))},
                                          {QStringLiteral("value"), a.value}});
        }
        const auto place = placed.constFind(c.slot);
        const bool known = place != placed.constEnd();
        checked.append(
            QJsonObject{{QStringLiteral("slot"), c.slot},
                        {QStringLiteral("channel"),
                         numbers.contains(c.slot) ? QJsonValue(numbers.value(c.slot)) : QJsonValue()},
                        {QStringLiteral("code"), known ? QJsonValue(place->code) : QJsonValue()},
                        {QStringLiteral("unit"), known ? QJsonValue(place->unit) : QJsonValue()},
                        {QStringLiteral("quality"), c.quality},
                        {QStringLiteral("alarms"), c.alarms},
                        {QStringLiteral("limits"), limitsJson(c.alarms)},
                        {QStringLiteral("activeAlarms"), active}});
    }
    o.insert(QStringLiteral("channelChecks"), checked);
    return WebResponse::json(200, o);
}

WebResponse WebApi::visits(const QString &code, const WebRequest &request)
{
    QDateTime from, to;
    QString problem;
    if (!parseRange(request, &from, &to, &problem))
        return WebResponse::error(400, problem);
    StationRow row;
    WebResponse failure;
    if (!findStation(store, code, &row, &failure))
        return failure;
    // Stored as local times; the range is read the same way.
    const QDateTime localFrom = from.isValid() ? QDateTime(from.date(), from.time()) : QDateTime();
    const QDateTime localTo = to.isValid() ? QDateTime(to.date(), to.time().addSecs(59)) : QDateTime();
    bool ok = false;
    const int id = row.station.id;
    const QList<StationVisit> list = store.run([&](const QString &connection) {
        return StationVisits::select(id, localFrom, localTo, 10000, connection, &ok);
    });
    if (!ok)
        return WebResponse::error(503, QStringLiteral("the store does not answer"));
    return WebResponse::json(200, QJsonObject{{QStringLiteral("visits"), visitsJson(list)}});
}

WebResponse WebApi::data(const QString &code, const WebRequest &request)
{
    QDateTime from, to;
    QString problem;
    if (!parseRange(request, &from, &to, &problem))
        return WebResponse::error(400, problem);
    const QString format = request.query.value(QStringLiteral("format"), QStringLiteral("json"));
    SeriesExporter::Format exchange = SeriesExporter::Format::Csv;
    const bool exchangeFormat = format != QLatin1String("csv") && format != QLatin1String("xlsx") &&
                                SeriesExporter::parseFormat(format, &exchange);
    if (format != QLatin1String("json") && format != QLatin1String("csv") &&
        format != QLatin1String("xlsx") && !exchangeFormat)
        return WebResponse::error(400, QStringLiteral("format is json, csv, xlsx, waterml2 or zrxp"));
    // A workbook is made whole, so its range is bounded.
    if (format == QLatin1String("xlsx") && (!from.isValid() || !to.isValid() || from.daysTo(to) > 400))
        return WebResponse::error(
            400, QStringLiteral("an Excel download needs from and to at most 400 days apart"));
    QList<int> channels;
    const bool all = !request.query.contains(QStringLiteral("channels"));
    if (!all) {
        const QStringList texts = request.query.value(QStringLiteral("channels")).split(QLatin1Char(','));
        static const QRegularExpression number(QStringLiteral("^[0-9]{1,2}$"));
        for (const QString &t : texts) {
            if (!number.match(t).hasMatch())
                return WebResponse::error(400, QStringLiteral("channels takes numbers separated by commas"));
            if (!channels.contains(t.toInt()))
                channels.append(t.toInt());
        }
        if (channels.size() > 64)
            return WebResponse::error(400, QStringLiteral("too many channels"));
    }
    StationRow row;
    WebResponse failure;
    if (!findStation(store, code, &row, &failure))
        return failure;
    if (format == QLatin1String("xlsx")) {
        WebResponse r;
        QStringList files;
        if (!readableFiles(row.station, &files, &failure))
            return failure;
        if (!WebExcel::build(files, from.toString(QLatin1String(kMinute)),
                             to.toString(QLatin1String(kMinute)), channels, &r.body, &problem))
            return WebResponse::error(503, problem);
        r.contentType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
        r.addHeader("Content-Disposition", "attachment; filename=\"" + code.toLatin1() + ".xlsx\"");
        return r;
    }
    if (exchangeFormat)
        return exchangeData(row.station, int(exchange), channels, from, to);
    const bool csv = format == QLatin1String("csv");
    QStringList files;
    ValueFlags::Source flags;
    if (!readableFiles(row.station, &files, &failure) ||
        !storeFlags(store, row.station.id, from, to, &flags, &failure))
        return failure;
    auto stream = std::make_shared<DataStream>(
        files, channels, all, from.isValid() ? from.toString(QLatin1String(kMinute)) : QString(),
        to.isValid() ? to.toString(QLatin1String(kMinute)) : QString(), csv, std::move(flags));
    WebResponse r;
    r.contentType = csv ? "text/csv; charset=utf-8" : "application/json";
    r.stream = [stream](char *buf, size_t size) { return stream->produce(buf, size); };
    return r;
}

WebResponse WebApi::exchangeData(const DBStation &station, int format, const QList<int> &channels,
                                 const QDateTime &from, const QDateTime &to)
{
    // The station's offset as the store has it now (another collector may
    // have changed it).
    store.run([](const QString &connection) { return StationSettings::reload(connection); });
    const int offset = StationSettings::utcOffsetMinutes(
        station.id, CollectionOptions::load(WorkFolder::current().settingsFile()).utcOffset);
    // Written into a temporary file when the body is first asked for, then
    // sent from it: a year of values is never held in memory.
    struct Export
    {
        SeriesExporter exporter;
        QStringList files;
        QTemporaryFile file;
        bool started = false;
    };
    auto e = std::make_shared<Export>();
    e->exporter.setFormat(SeriesExporter::Format(format));
    e->exporter.setUtcOffset(offset);
    e->exporter.setChannels(channels.toVector());
    e->exporter.setRange(from, to);
    WebResponse failure;
    ValueFlags::Source flags;
    if (!readableFiles(station, &e->files, &failure) ||
        !storeFlags(store, station.id, from, to, &flags, &failure))
        return failure;
    e->exporter.setFlags(std::move(flags));
    WebResponse r;
    r.contentType = format == int(SeriesExporter::Format::WaterML2) ? "application/xml; charset=utf-8"
                                                                    : "text/plain; charset=utf-8";
    r.stream = [e](char *buf, size_t size) -> qint64 {
        if (!e->started) {
            e->started = true;
            if (!e->file.open() || !e->exporter.run(e->files, &e->file) || !e->file.seek(0)) {
                qCWarning(lcWeb, "export failed: %s", qUtf8Printable(e->exporter.errorText()));
                return -1;
            }
        }
        return e->file.read(buf, qint64(size));
    };
    return r;
}

WebResponse WebApi::configHistory(const QString &code)
{
    StationRow row;
    WebResponse failure;
    if (!findStation(store, code, &row, &failure))
        return failure;
    bool ok = false;
    const int id = row.station.id;
    const QList<ConfigHistory::Entry> entries = store.run([&](const QString &connection) {
        QList<ConfigHistory::Entry> list;
        ok = ConfigHistory(connection).entries(id, &list);
        return list;
    });
    if (!ok)
        return WebResponse::error(503, QStringLiteral("the store does not answer"));
    // What tqm510 --config-history CODE --json prints.
    return WebResponse::json(200, ConfigHistory::toJson(code, entries));
}

WebResponse WebApi::gaps(const QString &code, const WebRequest &request)
{
    QDateTime from, to;
    QString problem;
    if (!parseRange(request, &from, &to, &problem))
        return WebResponse::error(400, problem);
    StationRow row;
    WebResponse failure;
    if (!findStation(store, code, &row, &failure))
        return failure;
    QStringList files;
    if (!readableFiles(row.station, &files, &failure))
        return failure;
    GapFinder finder;
    finder.setRange(from, to);
    if (!finder.run(files))
        return WebResponse::error(503, QStringLiteral("the station's files cannot be read"));
    return WebResponse::json(200, GapJson::toJson(finder));
}

bool WebApi::readableFiles(const DBStation &station, QStringList *files, WebResponse *failure)
{
    const QString folder = WorkFolder::stationDir(station.file_path);
    const ReadableFiles::StoreRun onStore = [this](const std::function<bool(const QString &)> &question) {
        return store.run([&question](const QString &connection) {
            return question(connection) || (WebStore::reopen(connection) && question(connection));
        });
    };
    QString problem;
    if (readable.files(station.id, ReadableFiles::destinationOf(folder), filesOf(station), true, onStore,
                       files, &problem))
        return true;
    qCWarning(lcWeb, "station %s: %s", qUtf8Printable(station.code), qUtf8Printable(problem));
    *failure = WebResponse::error(503, problem);
    return false;
}

QHash<int, int> WebApi::dataChannels(const DBStation &station,
                                     const QHash<int, ChannelChecks::Placement> &placed)
{
    QHash<int, int> numbers;
    if (placed.isEmpty())
        return numbers;
    QStringList files;
    WebResponse failure;
    if (!readableFiles(station, &files, &failure) || files.isEmpty())
        return numbers;
    // The numbers are the newest file's positions: its own channels need
    // no header read. Any other file's are found through the channel map.
    const QString newest = QFileInfo(files.constLast()).fileName();
    ChannelMap map;
    bool mapped = false;
    for (auto it = placed.constBegin(); it != placed.constEnd(); ++it) {
        if (it->file == newest) {
            numbers.insert(it.key(), it->channel);
            continue;
        }
        if (!mapped) {
            mapped = true;
            if (!map.read(files))
                qCDebug(lcWeb, "station %s: %s", qUtf8Printable(station.code),
                        qUtf8Printable(map.errorText()));
        }
        for (int i = 0; i < files.size(); ++i) {
            if (QFileInfo(files.at(i)).fileName() != it->file)
                continue;
            const int number = map.numberOf(i, it->channel);
            if (number >= 0)
                numbers.insert(it.key(), number);
            break;
        }
    }
    return numbers;
}

WebResponse WebApi::events(const Session &session)
{
    auto position = std::make_shared<quint64>(webEvents.next());
    auto pending = std::make_shared<QByteArray>(": stream of station statuses\n\n");
    WebEvents *hub = &webEvents;
    const int keepAlive = keepAliveMs;
    // Ends with its session (logout, or its account changed or removed).
    const std::shared_ptr<std::atomic<bool>> alive = session.alive;
    WebResponse r;
    r.contentType = "text/event-stream; charset=utf-8";
    r.stream = [hub, position, pending, keepAlive, alive](char *buf, size_t size) -> qint64 {
        const auto ended = [&] { return hub->isClosed() || (alive && !*alive); };
        if (ended())
            return 0;
        while (pending->isEmpty()) {
            *pending = hub->waitFrom(position.get(), keepAlive);
            if (ended())
                return 0;
            // A comment keeps proxies and the idle limit from closing the stream.
            if (pending->isEmpty() && !hub->isClosed())
                *pending = ":\n\n";
        }
        const qint64 n = qMin<qint64>(qint64(size), pending->size());
        memcpy(buf, pending->constData(), size_t(n));
        pending->remove(0, int(n));
        return n;
    };
    return r;
}

WebResponse WebApi::metrics()
{
    bool ok = false;
    const QList<StationRow> rows = loadStations(store, &ok);
    if (!ok)
        return WebResponse::error(503, QStringLiteral("the store does not answer"));
    QList<MetricsFile::Entry> entries;
    for (const StationRow &row : rows)
        entries.append({row.station.code, row.stats});
    WebResponse r;
    r.contentType = "text/plain; version=0.0.4; charset=utf-8";
    // The value alarms up now, from the store: the same for every collector.
    QList<ChannelChecks::ActiveAlarm> alarms;
    store.run(
        [&alarms](const QString &connection) { return ChannelChecks(connection).activeAlarms(&alarms); });
    QString alarmText;
    if (!alarms.isEmpty())
        alarmText =
            QStringLiteral("# HELP tqm510_value_alarm_active A value alarm that is up, by station, channel "
                           "(device slot) and kind.\n# TYPE tqm510_value_alarm_active gauge\n");
    for (const auto &a : qAsConst(alarms))
        alarmText +=
            QStringLiteral("tqm510_value_alarm_active{station=\"%1\",channel=\"%2\",kind=\"%3\"} 1\n")
                // In one pass: a "%2" in a code stays as it is.
                .arg(MetricsFile::escapeLabel(a.code), QString::number(a.slot),
                     ValueAlarms::kindName(a.kind));
    if (const qint64 own = ownBeatMs.load()) {
        r.body = (MetricsFile::render(entries, QDateTime::fromMSecsSinceEpoch(own)) + alarmText).toUtf8();
        return r;
    }
    // Serving only: the collecting processes' last heartbeats, one series
    // each, or none; never this server's own time.
    const QList<QPair<QString, QDateTime>> beats =
        store.run([](const QString &connection) { return CollectorHeartbeats::all(connection); });
    QString text;
    if (!beats.isEmpty())
        text +=
            QStringLiteral("# HELP tqm510_heartbeat_timestamp_seconds When the collector last showed it is "
                           "alive.\n# TYPE tqm510_heartbeat_timestamp_seconds gauge\n");
    for (const auto &beat : beats)
        text += QStringLiteral("tqm510_heartbeat_timestamp_seconds{collector=\"") +
                MetricsFile::escapeLabel(beat.first) + QStringLiteral("\"} ") +
                QString::number(beat.second.toMSecsSinceEpoch() / 1000.0, 'f', 3) + QLatin1Char('\n');
    r.body = (text + MetricsFile::render(entries, QDateTime()) + alarmText).toUtf8();
    return r;
}

WebResponse WebApi::openApi()
{
    QFile file(QStringLiteral(":/web/openapi.json"));
    if (!file.open(QIODevice::ReadOnly))
        return WebResponse::error(503, QStringLiteral("the API description is missing"));
    WebResponse r;
    r.body = file.readAll();
    return r;
}

WebResponse WebApi::visitNow(const QString &code)
{
    StationRow row;
    WebResponse failure;
    if (!findStation(store, code, &row, &failure))
        return failure;
    const int status = actions.visit ? actions.visit(row.station.id) : 503;
    if (status != 200)
        return WebResponse::error(status,
                                  QStringLiteral("this server does not collect, or the station is busy"));
    return WebResponse::json(200, QJsonObject{{QStringLiteral("visit"), QStringLiteral("requested")}});
}

WebResponse WebApi::setActive(const QString &code, const WebRequest &request)
{
    const QJsonValue active = QJsonDocument::fromJson(request.body).object().value(QStringLiteral("active"));
    if (!active.isBool())
        return WebResponse::error(400, QStringLiteral("expected {\"active\": true|false}"));
    StationRow row;
    WebResponse failure;
    if (!findStation(store, code, &row, &failure))
        return failure;
    const int status = actions.setActive ? actions.setActive(row.station.id, active.toBool()) : 503;
    if (status != 200)
        return WebResponse::error(status, QStringLiteral("the change could not be made"));
    return WebResponse::json(200, QJsonObject{{QStringLiteral("active"), active.toBool()}});
}
