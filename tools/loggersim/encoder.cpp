#include "encoder.h"

#include "nexil/protocol/crc16.h"

#include <cmath>
#include <cstdio>

namespace loggersim {
namespace encoder {

QByteArray crcBytes(const QByteArray &data)
{
    const quint16 crc =
        nexilcrc::crc16(reinterpret_cast<const unsigned char *>(data.constData()), data.size(), data.size());
    QByteArray out;
    out.append(char(crc >> 8));
    out.append(char(crc & 0xFF));
    return out;
}

QByteArray identification(const QString &serial, const QString &model, int firmware)
{
    QByteArray id = serial.toUtf8();
    id.append(STX);
    id.append(model.toLatin1());
    id.append("-V");
    id.append(QByteArray::number(firmware));
    id = id.left(19);
    while (id.size() < 19)
        id.append('\0');
    return id;
}

bool identificationFits(const QString &serial, const QString &model, int firmware)
{
    return serial.toUtf8().size() + 1 + model.toLatin1().size() + 2 + QByteArray::number(firmware).size() <=
           19;
}

QByteArray frame(const char *code, const QByteArray &ident, const QByteArray &payload, bool corruptCrc)
{
    QByteArray crc = crcBytes(payload);
    if (corruptCrc) {
        crc[0] = char(crc.at(0) ^ 0x5A);
        crc[1] = char(crc.at(1) ^ 0xA5);
    }
    const int length = payload.size() + 2;
    QByteArray f;
    f.append(code, 3);
    f.append(STX);
    f.append(ident.left(19));
    while (f.size() < 23)
        f.append('\0');
    f.append(char((length >> 8) & 0xFF));
    f.append(char(length & 0xFF));
    f.append(crcBytes(f));
    f.append(payload);
    f.append(crc);
    f.append(QByteArray(3, CR));
    return f;
}

QByteArray blockFrame(const QByteArray &ident, const QByteArray &payload, bool corruptCrc)
{
    QByteArray f = frame("VER", ident, payload, corruptCrc);
    if (f.size() < MinimumFrame) {
        f.chop(3);
        f.append(QByteArray(MinimumFrame - 3 - f.size(), '\0'));
        f.append(QByteArray(3, CR));
    }
    return f;
}

QByteArray padded(const QByteArray &payload)
{
    // 27 header + payload + 2 CRC + 3 CR >= 40.
    QByteArray p = payload;
    while (p.size() + 32 < MinimumFrame)
        p.append(' ');
    return p;
}

QByteArray number(double v)
{
    if (!std::isfinite(v))
        return "0";
    QByteArray t = QByteArray::number(v, 'f', 4);
    if (t.contains('.')) {
        while (t.endsWith('0'))
            t.chop(1);
        if (t.endsWith('.'))
            t.chop(1);
    }
    if (t == "-0")
        t = "0";
    return t;
}

QByteArray g6(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return QByteArray(buffer);
}

namespace {

QByteArray join(const QList<QByteArray> &fields)
{
    QByteArray out;
    for (int i = 0; i < fields.size(); ++i) {
        if (i)
            out.append(STX);
        out.append(fields.at(i));
    }
    return out;
}

QList<QByteArray> stationFields(const Scenario &s)
{
    return {s.stationName.toUtf8(), s.stationGroup.toUtf8(), s.stationCode.toUtf8()};
}

QByteArray flagsText(const Scenario &s)
{
    QByteArray flags;
    for (int i = 0; i < 9; ++i)
        flags.append(i < s.slotList.size() && s.slotList.at(i).state == 1 ? '1' : '0');
    return flags;
}

QByteArray unitOf(const Scenario &s, int slot)
{
    if (slot < s.calibrations.units.size())
        return s.calibrations.units.at(slot).toUtf8();
    return s.slotList.at(slot).unit.toUtf8();
}

// Station block, time, voltage, flags and the current values of the active slots.
QList<QByteArray> instantFields(const Scenario &s, const QDateTime &now)
{
    QList<QByteArray> f = stationFields(s);
    f << formatDeviceTime(now, true).toLatin1();
    f << number(s.supplyVoltage) + "V";
    f << flagsText(s);
    for (int slot : s.activeSlots()) {
        const Slot &c = s.slotList.at(slot);
        f << c.name.toUtf8() + ":";
        f << number(c.instant);
        f << unitOf(s, slot);
    }
    return f;
}

QByteArray extremeText(const Extreme &e)
{
    return formatDeviceTime(e.time, false).toLatin1() + " " + number(e.value);
}

QByteArray digit(int v)
{
    return QByteArray(1, char('0' + v));
}

} // namespace

QByteArray identityPayload(const Scenario &s)
{
    QList<QByteArray> f = stationFields(s);
    f << s.serial.toUtf8();
    return padded(join(f));
}

QByteArray instantPayload(const Scenario &s, const QDateTime &now)
{
    return padded(join(instantFields(s, now)));
}

QByteArray setupPayload(const Scenario &s, const QDateTime &now)
{
    QList<QByteArray> f = instantFields(s, now);
    for (int slot : s.activeSlots()) {
        f << extremeText(s.slotList.at(slot).maximum);
        f << extremeText(s.slotList.at(slot).minimum);
    }
    QByteArray options;
    options.append(s.setup.rs485Output ? '1' : '0');
    options.append(QByteArray::number(s.setup.dayStart).rightJustified(2, '0'));
    options.append(digit(s.setup.digitA));
    options.append(digit(s.setup.digitB));
    f << options;
    f << QByteArray::number(s.setup.sensorOnOffTime);
    f << QByteArray::number(s.setup.sensorWaitTime);
    f << QByteArray(s.setup.waitForExactHour ? "1" : "0");
    f << digit(s.setup.digitC);
    return padded(join(f));
}

QByteArray channelNamesPayload(const Scenario &s)
{
    QList<QByteArray> f = stationFields(s);
    f << flagsText(s);
    for (int i = 0; i < 9; ++i)
        f << QByteArray::number(s.slotList.at(i).interval).rightJustified(4, '0');
    for (int i = 0; i < 9; ++i)
        f << s.slotList.at(i).name.toLatin1() + QByteArray(1, char(s.slotList.at(i).code));
    QByteArray types;
    for (int i = 0; i < 9; ++i)
        types.append(s.slotList.at(i).minMaxType ? '1' : '0');
    for (int i = 0; i < 9; ++i)
        types.append(s.slotList.at(i).recordType ? '1' : '0');
    f << types;
    return padded(join(f));
}

QByteArray calibrationsPayload(const Scenario &s)
{
    const Calibrations &c = s.calibrations;
    QList<QByteArray> f = stationFields(s);
    for (int i = 0; i < 9; ++i)
        f << c.units.value(i).toLatin1();
    for (int i = 0; i < 5; ++i)
        f << g6(c.minVoltages.value(i));
    for (int i = 0; i < 5; ++i)
        f << g6(c.gains.value(i));
    for (int i = 0; i < 5; ++i)
        f << g6(c.maxValues.value(i));
    for (int i = 0; i < 5; ++i)
        f << g6(c.minValues.value(i));
    for (int i = 0; i < 5; ++i)
        f << g6(c.offsets.value(i));
    QByteArray multipliers;
    for (int i = 0; i < 5; ++i)
        multipliers.append(digit(c.multipliers.value(i)));
    f << multipliers;
    f << g6(c.gains.value(5)) << g6(c.gains.value(6));
    f << digit(c.measurementTypes.value(5)) + digit(c.measurementTypes.value(6));
    QByteArray types;
    for (int i = 0; i < 5; ++i)
        types.append(digit(c.measurementTypes.value(i)));
    f << types;
    return padded(join(f));
}

QByteArray alarmsPayload(const Scenario &s)
{
    const Alarms &a = s.alarms;
    QList<QByteArray> f;
    for (int i = 0; i < 4; ++i)
        f << number(a.maximums.value(i)) << number(a.minimums.value(i));
    auto event = [](const AlarmEvent &e) {
        if (!e.present || !e.time.isValid())
            return QByteArray("00/00/00 00:00 0");
        return formatDeviceTime(e.time, false).toLatin1() + " " + number(e.value);
    };
    for (int i = 0; i < 4; ++i)
        f << event(a.maximumEvents.value(i));
    for (int i = 0; i < 4; ++i)
        f << event(a.minimumEvents.value(i));
    QByteArray flags;
    for (int i = 0; i < 9; ++i)
        flags.append(a.flags.value(i) ? '1' : '0');
    for (int i = 0; i < 2; ++i)
        flags.append(digit(a.digits.value(i)));
    f << flags;
    for (int i = 0; i < 4; ++i)
        f << number(a.maximumResets.value(i)) << number(a.minimumResets.value(i));
    return padded(join(f));
}

QByteArray fileInfoPayload(const QList<FileEntry> &files, int lastPage, int lastBuffer)
{
    QList<QByteArray> f;
    f << QByteArray::number(files.size());
    for (const FileEntry &e : files) {
        f << formatDeviceTime(e.date, false).toLatin1();
        f << QByteArray::number(e.endPage);
        f << QByteArray::number(e.endBuffer);
    }
    f << QByteArray::number(lastPage) << QByteArray::number(lastBuffer);
    return padded(join(f));
}

QByteArray answerPayload(const QByteArray &word)
{
    return padded(word);
}

QByteArray blockPayload(int page, const QByteArray &data)
{
    QByteArray p;
    p.append('\0');
    p.append(char((page >> 8) & 0xFF));
    p.append(char(page & 0xFF));
    p.append(data);
    p.append('\0');
    return p;
}

QByteArray endPayload(int page)
{
    return blockPayload(page, "BITTI");
}

} // namespace encoder
} // namespace loggersim
