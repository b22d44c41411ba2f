#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// The quality flags the store holds for a station's instant values, for the
// readers of its data files (which carry no flags): keyed by the data file's
// name, the value's position in that file's channel list and its minute.
// Compact: one 64-bit word per value, sorted, so a year of ten-minute values
// of nine channels takes under 4 MB.
class ValueFlags
{
public:
    // Not evaluated: what a value the store does not know gets.
    static constexpr int kUnknown = 2;
    // (file name, channel position, minute) → flag.
    using Source = std::function<int(const QString &fileName, int channel, qint64 minute)>;

    // The station's INS flags from `from` to `to` ("yyyy-MM-dd hh:mm", both
    // included; empty: open), in one query on the named connection. False
    // when the store failed.
    bool load(const QString &connection, int stationId, const QString &from, const QString &to);

    int flag(const QString &fileName, int channel, qint64 minute) const;
    // A lookup sharing these flags, for a reader on one thread.
    Source source() const;
    int count() const { return m_data ? int(m_data->keys.size()) : 0; }

    // Julian day × 1440 + minute of the day of "yyyy-MM-dd" and "hh:mm";
    // -1 for anything else.
    static qint64 minuteOf(const QStringRef &date, const QStringRef &time);
    static qint64 minuteOf(QLatin1String date, QLatin1String time);
    static qint64 minuteOf(const QString &date, const QString &time)
    {
        return minuteOf(QStringRef(&date), QStringRef(&time));
    }

private:
    struct Data
    {
        QHash<QString, int> files;
        std::vector<quint64> keys; // file, channel, minute, flag packed
    };
    static int find(const Data &data, int file, int channel, qint64 minute);

    std::shared_ptr<const Data> m_data;
};
