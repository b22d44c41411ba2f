#pragma once

// Request frames as a host writes them, built here independently of the simulator.

#include <QByteArray>

namespace simframes {

inline quint16 crc16(const QByteArray &data)
{
    quint16 crc = 0xFFFF;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xBEEF) : quint16(crc >> 1);
    }
    return crc;
}

inline QByteArray plain(const char *word)
{
    return QByteArray("\x02") + word + "\r\r\r";
}

// STX, word, body, CR, CRC16 of everything after STX up to that CR, CR CR CR.
inline QByteArray checked(const QByteArray &word, const QByteArray &body)
{
    const QByteArray covered = word + body + '\r';
    const quint16 crc = crc16(covered);
    QByteArray out("\x02");
    out += covered;
    out += char(crc >> 8);
    out += char(crc & 0xFF);
    out += "\r\r\r";
    return out;
}

inline QByteArray block(int page, int buffer)
{
    return checked("AKT", QByteArray::number(page).rightJustified(8, '0') +
                              QByteArray::number(buffer).rightJustified(4, '0'));
}

inline bool crcHasCr(const QByteArray &frame)
{
    return frame.at(frame.size() - 5) == '\r' || frame.at(frame.size() - 4) == '\r';
}

} // namespace simframes
