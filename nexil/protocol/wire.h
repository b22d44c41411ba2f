#pragma once

// Pure helpers of the device's wire format: checksums, big-endian readers,
// reply-frame recognition and header decoding. Bytes in, values out; nothing
// here touches a socket.

#include "nexil/nexil_global.h"
#include "records.h"

#include <QByteArray>

class Catalogue;

namespace wire {

constexpr char STX = 0x02;
constexpr char CR = 0x0D;
constexpr int HeaderSize = 27;
constexpr int MinimumReply = 40;
constexpr int MaximumReply = 4096;

// Three capital letters packed into an int, first letter most significant:
// "KML" is 0x4B4D4C. Request and reply codes compare as these ints.
constexpr int code(const char (&letters)[4])
{
    return (int(uchar(letters[0])) << 16) | (int(uchar(letters[1])) << 8) | int(uchar(letters[2]));
}

NEXIL_EXPORT int crc16(const QByteArray &data, int length);
NEXIL_EXPORT bool verifyChecksum(const QByteArray &data, unsigned int crc);

// Big-endian unsigned value of the bytes, saturating at 2147483647; 0 when empty.
NEXIL_EXPORT long hex2long(const QByteArray &bytes);

// The first four bytes as a big-endian IEEE-754 single, with the sign applied
// to the magnitude (so negative zero reads +0.0). Fewer than four bytes read
// as 0 and set *ok to false.
NEXIL_EXPORT float hex2float(const QByteArray &bytes, bool *ok = nullptr);

// Device texts end at their first NUL byte.
inline QByteArray upToNul(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

// STX word CR CR CR: the plain read requests.
NEXIL_EXPORT QByteArray plainRequest(const char *word);
// STX body CRC(body, high byte first) CR CR CR: block requests and uploads.
NEXIL_EXPORT QByteArray checkedRequest(const QByteArray &body);

enum class BufferState {
    NeedMore,  // fewer than 40 bytes, or the frame is not complete yet
    Discarded, // byte 3 was not STX: the buffer was emptied
    Frame,     // one frame was taken from the front of the buffer
};

// Frame recognition on the receive buffer. Takes at most one frame per call:
// as many bytes as a checked header announces (header, payload, CR CR CR),
// leaving what follows for the next call; when the header does not check,
// the whole buffer once it ends with CR CR CR.
NEXIL_EXPORT BufferState takeFrame(QByteArray &buffer, QByteArray *frame);

// Decodes the 27-byte header of a reply frame. A rejected header has command
// or deviceType 0; *error tells why (ChecksumError, UnknownDevice, or NoError
// for an unknown reply code or an identification text that cannot be split).
NEXIL_EXPORT DeviceHeader parseHeader(const QByteArray &frame, const Catalogue &catalogue,
                                      DeviceError *error);

// The reply codes a header may carry.
NEXIL_EXPORT bool isReplyCode(int command);

} // namespace wire
