#pragma once

// Memory records laid out byte by byte as a logger writes them.

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <cstring>

namespace testmemory {

inline char bcd(int v)
{
    return char(((v / 10) << 4) | (v % 10));
}

inline QByteArray bcdTime(const QDateTime &t)
{
    QByteArray out;
    out.append(bcd(t.date().day())).append(bcd(t.date().month())).append(bcd(t.date().year() % 100));
    out.append(bcd(t.time().hour())).append(bcd(t.time().minute()));
    return out;
}

inline QByteArray floatBytes(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, sizeof bits);
    QByteArray out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((bits >> shift) & 0xFF));
    return out;
}

inline QByteArray timeStamp(const QDateTime &t)
{
    return QByteArray("\xFA\xFA\xFA", 3) + bcdTime(t);
}

// Minutes since the time base, then one tagged entry per value.
inline QByteArray measurement(int minutes, const QList<float> &values, int firstTag = 0)
{
    QByteArray out;
    out.append(char((minutes >> 16) & 0xFF)).append(char((minutes >> 8) & 0xFF)).append(char(minutes & 0xFF));
    for (int i = 0; i < values.size(); ++i)
        out.append(char(0xA1 + firstTag + i)).append(floatBytes(values.at(i)));
    return out;
}

struct Extreme
{
    QDateTime time;
    float value;
};

inline QByteArray summary(const QList<Extreme> &maxima, const QList<Extreme> &minima,
                          const QList<float> &averages, const QList<float> &totals)
{
    QByteArray out("\xF1\xF1\xF1", 3);
    for (const Extreme &e : maxima)
        out += bcdTime(e.time) + floatBytes(e.value);
    for (const Extreme &e : minima)
        out += bcdTime(e.time) + floatBytes(e.value);
    for (float v : averages)
        out += floatBytes(v);
    for (float v : totals)
        out += floatBytes(v);
    return out;
}

inline QByteArray setupRecord(const QByteArray &name, const QByteArray &group, const QByteArray &code,
                              const QByteArray &flags, const QList<QByteArray> &names,
                              const QList<QByteArray> &units, const QList<int> &intervals,
                              const QDateTime &time)
{
    QByteArray out("\xDD\xDD\xDD", 3);
    out += name + '\x02' + group + '\x02' + code + '\x02' + flags + '\x02';
    for (const QByteArray &n : names)
        out += n + '\x02';
    for (const QByteArray &u : units)
        out += u + '\x02';
    for (int interval : intervals)
        out.append(bcd(interval / 100)).append(bcd(interval % 100));
    out.append('\x00');
    out += bcdTime(time);
    out.append('\x00');
    return out;
}

} // namespace testmemory
