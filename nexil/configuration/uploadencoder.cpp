#include "uploadencoder.h"

#include "nexil/protocol/wire.h"

#include <QLocale>

namespace upload {

namespace {

const char STX = wire::STX;

QByteArray digit(int value)
{
    return QByteArray(1, char('0' + value));
}

QByteArray flag(bool value)
{
    return value ? "1" : "0";
}

template<typename List> bool need(const List &list, int count, const char *name, QString *missing)
{
    if (list.size() >= count)
        return true;
    *missing = QStringLiteral("%1 (%2/%3)").arg(QLatin1String(name)).arg(list.size()).arg(count);
    return false;
}

QByteArray fourDecimals(float value)
{
    return QByteArray::number(double(value), 'f', 4);
}

} // namespace

QByteArray frame(const char *letters, const QByteArray &body)
{
    return wire::checkedRequest(QByteArray(letters) + body + wire::CR);
}

QByteArray g6(float value)
{
    return QString::asprintf("%g", double(value)).toLatin1();
}

QByteArray passwordBody(const QString &current, const QString &next)
{
    return current.toUtf8() + next.toUtf8();
}

QByteArray factoryDefaultsBody(const QString &password)
{
    return password.toUtf8();
}

QByteArray setupBody(const QString &password, const SetupParameters &s, const QDateTime &now)
{
    QByteArray body = password.toUtf8();
    body += flag(s.keepOldSetups);
    body += s.header.serialNumber.toUtf8() + STX;
    body += s.stationName.toUtf8() + STX;
    body += QByteArray::number(s.region) + '-' + QByteArray::number(s.basin) + '-' +
            QByteArray::number(s.stationNo) + STX;
    body += s.stationCode.toUtf8() + STX;
    body += QByteArray::number(s.dayStart).rightJustified(2, '0');
    body += digit(s.setupDigitA);
    body += flag(s.rs485Output) + STX;
    body += QByteArray::number(s.sensorOnOffTime) + STX;
    body += QByteArray::number(s.sensorWaitTime) + STX;
    // The device reads ASCII digits whatever the host's locale writes.
    body += QLocale::c().toString(now, QStringLiteral("ddMMyyhhmmss")).toLatin1();
    body += char(now.date().dayOfWeek());
    body += STX;
    body += flag(s.waitForExactHour) + STX;
    body += QByteArray::number(s.setupDigitC) + STX;
    return body;
}

bool channelNamesBody(const QString &password, const ChannelNames &n, QByteArray *body, QString *missing)
{
    const int stated = qBound(0, n.channelCount, 9);
    if (!need(n.channelStates, stated, "channelStates", missing) ||
        !need(n.codes, n.names.size(), "codes", missing))
        return false;
    QByteArray out = password.toUtf8();
    for (int i = 0; i < 9; ++i)
        out += i < stated ? digit(n.channelStates.at(i)) : QByteArray("0");
    out += STX;
    for (int interval : n.recordIntervals)
        out += QByteArray::number(interval).rightJustified(4, '0') + STX;
    for (int i = 0; i < n.names.size(); ++i)
        out += char(int(n.codes.at(i)) & 0xFF) + n.names.at(i).toLatin1() + STX;
    for (int type : n.minMaxTypes)
        out += digit(type);
    for (int type : n.recordTypes)
        out += digit(type);
    out += STX;
    *body = out;
    return true;
}

bool calibrationsBody(const QString &password, const ChannelCalibrations &c, QByteArray *body,
                      QString *missing)
{
    if (!need(c.units, 9, "units", missing) || !need(c.minVoltages, 5, "minVoltages", missing) ||
        !need(c.gains, 7, "gains", missing) || !need(c.maxValues, 5, "maxValues", missing) ||
        !need(c.minValues, 5, "minValues", missing) || !need(c.offsets, 5, "offsets", missing) ||
        !need(c.multipliers, 5, "multipliers", missing) ||
        !need(c.measurementTypes, 7, "measurementTypes", missing))
        return false;
    QByteArray out = password.toUtf8();
    for (int i = 0; i < 9; ++i)
        out += c.units.at(i).toUtf8() + STX;
    for (const QList<float> *list : {&c.minVoltages, &c.gains, &c.maxValues, &c.minValues, &c.offsets}) {
        for (int i = 0; i < 5; ++i)
            out += g6(list->at(i)) + STX;
    }
    for (int i = 0; i < 5; ++i)
        out += QByteArray::number(c.multipliers.at(i));
    out += STX;
    out += g6(c.gains.at(5)) + STX + g6(c.gains.at(6)) + STX;
    out += QByteArray::number(c.measurementTypes.at(5)) + QByteArray::number(c.measurementTypes.at(6)) + STX;
    for (int i = 0; i < 5; ++i)
        out += QByteArray::number(c.measurementTypes.at(i));
    out += STX;
    *body = out;
    return true;
}

bool alarmBody(const AlarmParameters &a, QByteArray *body, QString *missing)
{
    if (!need(a.maximums, 4, "maximums", missing) || !need(a.minimums, 4, "minimums", missing) ||
        !need(a.alarmFlags, 9, "alarmFlags", missing) ||
        !need(a.maximumResets, 4, "maximumResets", missing) ||
        !need(a.minimumResets, 4, "minimumResets", missing))
        return false;
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out += fourDecimals(a.maximums.at(i)) + STX + fourDecimals(a.minimums.at(i)) + STX;
    out += "00";
    for (int i = 0; i < 9; ++i)
        out += flag(a.alarmFlags.at(i));
    for (int i = 0; i < 4; ++i)
        out += STX + fourDecimals(a.maximumResets.at(i)) + STX + fourDecimals(a.minimumResets.at(i));
    out += STX;
    *body = out;
    return true;
}

} // namespace upload
