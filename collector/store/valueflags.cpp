#include "valueflags.h"

#include "collectorlogging.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

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

int digits(const QStringRef &text, int at, int count)
{
    int v = 0;
    for (int i = at; i < at + count; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

} // namespace

qint64 ValueFlags::minuteOf(const QStringRef &date, const QStringRef &time)
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

bool ValueFlags::load(const QString &connection, int stationId, const QString &from, const QString &to)
{
    auto data = std::make_shared<Data>();
    QSqlQuery q(QSqlDatabase::database(connection));
    q.setForwardOnly(true);
    // Bounded by time when asked, so that a server reads only the months of
    // the range.
    QString statement = QStringLiteral("SELECT c.file, v.channel, v.at, v.flag FROM station_values v "
                                       "JOIN station_commits c ON c.id = v.target "
                                       "WHERE v.station_id = ? AND v.value_type = 'INS'");
    if (!from.isEmpty())
        statement += QStringLiteral(" AND v.at >= ?");
    if (!to.isEmpty())
        statement += QStringLiteral(" AND v.at <= ?");
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
    QString lastFile;
    int lastIndex = -1;
    while (q.next()) {
        const QString file = q.value(0).toString();
        const int channel = q.value(1).toInt();
        const QString at = q.value(2).toString();
        const int flag = q.value(3).toInt();
        const qint64 minute = at.size() == 16 ? minuteOf(at.leftRef(10), at.midRef(11)) : -1;
        // A row no reader can name is left out: its value reads as unknown.
        if (minute < 0 || minute > kMaxMinute || channel < 0 || channel >= (1 << kChannelBits) || flag < 0 ||
            flag > 15)
            continue;
        if (lastIndex < 0 || file != lastFile) {
            auto it = data->files.constFind(file);
            if (it == data->files.constEnd()) {
                if (data->files.size() >= kMaxFiles)
                    continue;
                it = data->files.insert(file, data->files.size());
            }
            lastFile = file;
            lastIndex = it.value();
        }
        data->keys.push_back(keyOf(lastIndex, channel, minute) | quint64(flag));
    }
    if (q.lastError().type() != QSqlError::NoError) {
        qCDebug(lcStore, "Database Error: %s", qUtf8Printable(q.lastError().text()));
        return false;
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
