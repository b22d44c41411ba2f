#pragma once

// Reply frames built by hand for tests, the way a device lays them out.
// Independent of the library's decoders; only the CRC is shared, and that is
// pinned by published check values in tst_wire.

#include "nexil/protocol/crc16.h"

#include <QByteArray>
#include <QList>

namespace testframes {

inline QByteArray crcBytes(const QByteArray &data)
{
    const auto crc =
        nexilcrc::crc16(reinterpret_cast<const unsigned char *>(data.constData()), data.size(), data.size());
    QByteArray out;
    out.append(char(crc >> 8)).append(char(crc & 0xFF));
    return out;
}

// Payload: the fields joined by 0x02, then their CRC.
inline QByteArray payload(const QList<QByteArray> &fields)
{
    QByteArray body;
    for (int i = 0; i < fields.size(); ++i) {
        if (i)
            body.append('\x02');
        body.append(fields.at(i));
    }
    return body + crcBytes(body);
}

inline QByteArray rawPayload(const QByteArray &body)
{
    return body + crcBytes(body);
}

// A complete reply: code, STX, 19-byte identification, length, header CRC,
// payload, CR CR CR.
inline QByteArray reply(const char *code, const QByteArray &payloadBytes,
                        const QByteArray &model = "ZazEroDar", const QByteArray &firmware = "V51",
                        const QByteArray &serial = "1234")
{
    QByteArray id = serial + '\x02' + model + '-' + firmware;
    id = id.leftJustified(19, '\0', true);
    QByteArray header = QByteArray(code) + '\x02' + id;
    header.append(char((payloadBytes.size() >> 8) & 0xFF)).append(char(payloadBytes.size() & 0xFF));
    header += crcBytes(header);
    return header + payloadBytes + QByteArray(3, '\r');
}

inline QByteArray request(const char *word)
{
    return QByteArray("\x02") + word + QByteArray(3, '\r');
}

} // namespace testframes
