#include "valueflags.h"

#include "collectorlogging.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <sqlite3.h>

namespace {

// file: 16 bits, channel: 8, minute: 36 (past the year 40000), flag: 4.
constexpr int kFlagBits = 4;
constexpr int kMinuteBits = 36;
constexpr int kChannelBits = 8;
constexpr qint64 kMaxMinute = (qint64(1) << kMinuteBits) - 1;
constexpr int kMaxFiles = 1 << 16;

quint64 keyOf(int file, int channel, qint64 minute)
{
    return ((quint64(file) << (kChannelBits + kMinuteBits)) | (quint64(channel) << kMinuteBits) |
            quint64(minute))
           << kFlagBits;
}

template<class Text> int digits(const Text &text, int at, int count)
{
    int v = 0;
    for (int i = at; i < at + count; ++i) {
        const int c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

template<class Text> qint64 minuteIn(const Text &date, const Text &time)
{
    if (date.size() != 10 || time.size() != 5 || date.at(4) != QLatin1Char('-') ||
        date.at(7) != QLatin1Char('-') || time.at(2) != QLatin1Char(':'))
        return -1;
    const int y = digits(date, 0, 4), mo = digits(date, 5, 2), d = digits(date, 8, 2);
    const int h = digits(time, 0, 2), mi = digits(time, 3, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59)
        return -1;
    const QDate day(y, mo, d);
    if (!day.isValid() || day.toJulianDay() <= 0)
        return -1;
    return day.toJulianDay() * 1440 + h * 60 + mi;
}

} // namespace

qint64 ValueFlags::minuteOf(const QStringRef &date, const QStringRef &time)
{
    return minuteIn(date, time);
}

qint64 ValueFlags::minuteOf(QLatin1String date, QLatin1String time)
{
    return minuteIn(date, time);
}

bool ValueFlags::load(const QString &connection, int stationId, const QString &from, const QString &to)
{
    auto data = std::make_shared<Data>();
    QSqlDatabase db = QSqlDatabase::database(connection);
    // The station's data files by their rows in the commits (a file's name
    // in several folders is one file to a reader).
    QHash<qint64, int> fileOfTarget;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT id, file FROM station_commits WHERE station_id = ?"));
        q.addBindValue(stationId);
        if (!q.exec()) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
            return false;
        }
        while (q.next()) {
            const QString file = q.value(1).toString();
            auto it = data->files.constFind(file);
            if (it == data->files.constEnd()) {
                if (data->files.size() >= kMaxFiles)
                    continue;
                it = data->files.insert(file, data->files.size());
            }
            fileOfTarget.insert(q.value(0).toLongLong(), it.value());
        }
    }
    qint64 lastTarget = -1;
    int lastFile = -1;
    const auto add = [&](qint64 target, int channel, qint64 minute, int flag) {
        // A row no reader can name is left out: its value reads as unknown.
        if (minute < 0 || minute > kMaxMinute || channel < 0 || channel >= (1 << kChannelBits) || flag < 0 ||
            flag > 15)
            return;
        if (target != lastTarget) {
            lastTarget = target;
            lastFile = fileOfTarget.value(target, -1);
        }
        if (lastFile >= 0)
            data->keys.push_back(keyOf(lastFile, channel, minute) | quint64(flag));
    };

    // Bounded by time when asked, so that a server reads only the months of
    // the range.
    QString statement = QStringLiteral("SELECT target, channel, at, flag FROM station_values "
                                       "WHERE station_id = ? AND value_type = 'INS'");
    if (!from.isEmpty())
        statement += QStringLiteral(" AND at >= ?");
    if (!to.isEmpty())
        statement += QStringLiteral(" AND at <= ?");

    // SQLite's own interface where the store is a file: through the driver
    // every column of a year's rows costs more than the rest together.
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    sqlite3 *file = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
                        ? *static_cast<sqlite3 *const *>(handle.constData())
                        : nullptr;
    if (file) {
        sqlite3_stmt *select = nullptr;
        const QByteArray text = statement.toUtf8();
        if (sqlite3_prepare_v2(file, text.constData(), -1, &select, nullptr) != SQLITE_OK) {
            qCDebug(lcStore, "Database Error: %s", sqlite3_errmsg(file));
            return false;
        }
        const QByteArray first = from.toUtf8(), last = to.toUtf8();
        int at = 1;
        int r = sqlite3_bind_int(select, at++, stationId);
        if (!from.isEmpty())
            r |= sqlite3_bind_text(select, at++, first.constData(), first.size(), SQLITE_TRANSIENT);
        if (!to.isEmpty())
            r |= sqlite3_bind_text(select, at++, last.constData(), last.size(), SQLITE_TRANSIENT);
        int step = SQLITE_ERROR;
        while (r == SQLITE_OK && (step = sqlite3_step(select)) == SQLITE_ROW) {
            const char *time = reinterpret_cast<const char *>(sqlite3_column_text(select, 2));
            const int size = sqlite3_column_bytes(select, 2);
            add(sqlite3_column_int64(select, 0), sqlite3_column_int(select, 1),
                time && size == 16 ? minuteOf(QLatin1String(time, 10), QLatin1String(time + 11, 5)) : -1,
                sqlite3_column_int(select, 3));
        }
        if (r != SQLITE_OK || step != SQLITE_DONE) {
            qCDebug(lcStore, "Database Error: %s", sqlite3_errmsg(file));
            sqlite3_finalize(select);
            return false;
        }
        sqlite3_finalize(select);
    } else {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(statement)) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
            return false;
        }
        q.addBindValue(stationId);
        if (!from.isEmpty())
            q.addBindValue(from);
        if (!to.isEmpty())
            q.addBindValue(to);
        if (!q.exec()) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
            return false;
        }
        while (q.next()) {
            const QString at = q.value(2).toString();
            add(q.value(0).toLongLong(), q.value(1).toInt(),
                at.size() == 16 ? minuteOf(at.leftRef(10), at.midRef(11)) : -1, q.value(3).toInt());
        }
        if (q.lastError().type() != QSqlError::NoError) {
            qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
            return false;
        }
    }
    std::sort(data->keys.begin(), data->keys.end());
    data->keys.shrink_to_fit();
    qCDebug(lcStore, "station %d: %zu value flags", stationId, data->keys.size());
    m_data = std::move(data);
    return true;
}

int ValueFlags::find(const Data &data, int file, int channel, qint64 minute)
{
    if (file < 0 || channel < 0 || channel >= (1 << kChannelBits) || minute < 0 || minute > kMaxMinute)
        return kUnknown;
    const quint64 key = keyOf(file, channel, minute);
    const auto it = std::lower_bound(data.keys.begin(), data.keys.end(), key);
    if (it == data.keys.end() || (*it >> kFlagBits) != (key >> kFlagBits))
        return kUnknown;
    return int(*it & ((1u << kFlagBits) - 1));
}

int ValueFlags::flag(const QString &fileName, int channel, qint64 minute) const
{
    if (!m_data)
        return kUnknown;
    return find(*m_data, m_data->files.value(fileName, -1), channel, minute);
}

ValueFlags::Source ValueFlags::source() const
{
    std::shared_ptr<const Data> data = m_data ? m_data : std::make_shared<const Data>();
    // Readers ask file by file: the name's index is looked up once per file.
    QString lastName;
    int lastFile = -1;
    bool named = false;
    return [data, lastName, lastFile, named](const QString &fileName, int channel, qint64 minute) mutable {
        if (!named || fileName != lastName) {
            named = true;
            lastName = fileName;
            lastFile = data->files.value(fileName, -1);
        }
        return find(*data, lastFile, channel, minute);
    };
}
