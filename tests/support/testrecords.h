#pragma once

// Field lists of device replies, as a device would send them.

#include <QByteArray>
#include <QList>

namespace testrecords {

inline QList<QByteArray> station()
{
    return {"  Kuru   Dere ", "02-14-003", "D14A003"};
}

// A setup reply with the given channel flags, one value triple and one
// max/min pair per active channel.
inline QList<QByteArray> setupFields(const QByteArray &flags, int active, const QByteArray &options = "10700")
{
    QList<QByteArray> f = station();
    f << "05/12/26 14:30:15"
      << "12.6V" << flags;
    for (int k = 0; k < active; ++k)
        f << "Level" + QByteArray::number(k) + ":" << QByteArray::number(1.5 + k) << "m";
    for (int k = 0; k < active; ++k)
        f << "04/12/26 10:15 " + QByteArray::number(9 + k) << "00/00/00 00:00 " + QByteArray::number(k);
    f << options << "30"
      << "5"
      << "1"
      << "7";
    return f;
}

inline QList<QByteArray> calibrationFields()
{
    QList<QByteArray> f = station();
    for (int i = 0; i < 9; ++i)
        f << " m" + QByteArray::number(i) + " ";
    for (int group = 0; group < 5; ++group) {
        for (int i = 0; i < 5; ++i)
            f << QByteArray::number(group * 10 + i) + ".5";
    }
    f << "12345"
      << "6.25"
      << "7.75"
      << "01"
      << "10110";
    return f;
}

inline QList<QByteArray> nameFields()
{
    QList<QByteArray> f = station();
    f << "110100000";
    for (int i = 0; i < 9; ++i)
        f << QByteArray::number((i + 1) * 5);
    for (int i = 0; i < 9; ++i)
        f << "Name " + QByteArray::number(i) + char(33 + i);
    f << "100000000010000001";
    return f;
}

inline QList<QByteArray> alarmFields()
{
    QList<QByteArray> f;
    f << "5.5"
      << "1.5"
      << "6"
      << "2"
      << "0"
      << "-1"
      << "7.25"
      << "3";
    f << "01/12/26 08:3012.75"
      << "00/00/00 00:00"
      << "00/00/00 00:00 5"
      << "02/12/26 09:00 8";
    f << "00/00/00 00:00"
      << "03/12/26 10:00 0.5"
      << "00/00/00 00:00"
      << "00/00/00 00:00";
    f << "101010101";
    for (int i = 0; i < 8; ++i)
        f << QByteArray::number(i) + ".1";
    return f;
}

} // namespace testrecords
