#pragma once

// Frames for the fuzzer: repairs the length and both checksums of a chunk
// that looks like a reply, and builds valid replies for the seed corpus.

#include "support/testframes.h"

#include <QByteArray>
#include <QList>

namespace fuzzframe {

inline QByteArray crc(const QByteArray &data)
{
    return testframes::crcBytes(data);
}

// Header, payload (its CRC recomputed) and CR CR CR; chunks too short to be a
// reply pass unchanged.
inline QByteArray repaired(const QByteArray &chunk)
{
    if (chunk.size() < 27 + 2)
        return chunk;
    QByteArray body = chunk.mid(27);
    if (body.endsWith("\r\r\r"))
        body.chop(3);
    if (body.size() >= 2)
        body.chop(2);
    const QByteArray payload = body + crc(body);
    QByteArray header = chunk.left(23);
    header[3] = '\x02';
    header.append(char((payload.size() >> 8) & 0xFF)).append(char(payload.size() & 0xFF));
    header += crc(header);
    return header + payload + QByteArray(3, '\r');
}

inline QByteArray reply(const char *code, const QList<QByteArray> &fields)
{
    QByteArray body;
    for (int i = 0; i < fields.size(); ++i)
        body += (i ? QByteArray("\x02") : QByteArray()) + fields.at(i);
    const QByteArray id = QByteArray("1234\x02ZazEroDar-V61").leftJustified(19, '\0');
    return repaired(QByteArray(code) + '\x02' + id + QByteArray(4, '\0') + body + "\0\0\r\r\r");
}

} // namespace fuzzframe
