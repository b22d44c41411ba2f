#include "wire.h"

#include "catalogue.h"
#include "crc16.h"

#include <QDebug>

#include "nexil/logging.h"
#include <cstring>

namespace wire {

int crc16(const QByteArray &data, int length)
{
    return nexilcrc::crc16(reinterpret_cast<const unsigned char *>(data.constData()), data.size(), length);
}

bool verifyChecksum(const QByteArray &data, unsigned int crc)
{
    if (unsigned(crc16(data, data.size())) == crc)
        return true;
    qCDebug(lcProtocol, "Nexil::verifyChecksum(): Checksum Error! %s", data.toHex().constData());
    return false;
}

long hex2long(const QByteArray &bytes)
{
    quint64 value = 0;
    for (char c : bytes) {
        value = (value << 8) | uchar(c);
        if (value > 0x7FFFFFFFull)
            return 2147483647L;
    }
    return long(value);
}

float hex2float(const QByteArray &bytes, bool *ok)
{
    if (bytes.size() < 4) {
        if (ok)
            *ok = false;
        return 0.0f;
    }
    if (ok)
        *ok = true;
    const quint32 bits = (quint32(uchar(bytes[0])) << 24) | (quint32(uchar(bytes[1])) << 16) |
                         (quint32(uchar(bytes[2])) << 8) | quint32(uchar(bytes[3]));
    const quint32 magnitudeBits = bits & 0x7FFFFFFFu;
    float magnitude;
    std::memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
    if (magnitudeBits == 0)
        return 0.0f;
    return (bits & 0x80000000u) ? -magnitude : magnitude;
}

QByteArray plainRequest(const char *word)
{
    QByteArray frame;
    frame.append(STX).append(word).append(3, CR);
    return frame;
}

QByteArray checkedRequest(const QByteArray &body)
{
    const int crc = crc16(body, body.size());
    QByteArray frame;
    frame.reserve(body.size() + 6);
    frame.append(STX).append(body).append(char(crc >> 8)).append(char(crc & 0xFF)).append(3, CR);
    return frame;
}

BufferState takeFrame(QByteArray &buffer, QByteArray *frame)
{
    if (buffer.size() < MinimumReply)
        return BufferState::NeedMore;
    if (buffer.at(3) != STX) {
        buffer.clear();
        return BufferState::Discarded;
    }
    static const QByteArray ending(3, CR);
    // A sound header gives the frame's length, so a reply followed at once by
    // the next one (a late duplicate, say) is taken alone, and CR bytes inside
    // the payload cannot end a frame early.
    const bool soundHeader = crc16(buffer, HeaderSize - 2) == hex2long(buffer.mid(HeaderSize - 2, 2));
    const int length = HeaderSize + int(hex2long(buffer.mid(HeaderSize - 4, 2))) + ending.size();
    // Far longer than any reply: a length not to be waited for.
    if (soundHeader && length <= MaximumReply) {
        if (buffer.size() < length)
            return BufferState::NeedMore;
        if (buffer.mid(length - ending.size(), ending.size()) == ending) {
            *frame = buffer.left(length);
            buffer.remove(0, length);
            return BufferState::Frame;
        }
    }
    // A header that does not tell, or a length the CRs do not follow: the
    // whole buffer once it ends with the CRs.
    if (!buffer.endsWith(ending))
        return BufferState::NeedMore;
    *frame = buffer;
    buffer.clear();
    return BufferState::Frame;
}

bool isReplyCode(int command)
{
    switch (command) {
    case code("KML"):
    case code("ANL"):
    case code("ALR"):
    case code("CEV"):
    case code("DOS"):
    case code("PAR"):
    case code("KOK"):
    case code("RKL"):
    case code("VER"):
        return true;
    default:
        return false;
    }
}

DeviceHeader parseHeader(const QByteArray &frame, const Catalogue &catalogue, DeviceError *error)
{
    DeviceHeader header;
    *error = NoError;
    if (frame.size() < HeaderSize)
        return header;

    const long crc = hex2long(frame.mid(25, 2));
    if (!verifyChecksum(frame.left(25), unsigned(crc))) {
        *error = ChecksumError;
        return header;
    }

    header.command = int(hex2long(frame.left(3)));
    if (!isReplyCode(header.command)) {
        header.command = 0;
        return header;
    }

    // serial number 0x02 model word "-" letter firmware
    const QList<QByteArray> parts = frame.mid(4, 19).split(STX);
    if (parts.size() < 2) {
        header.command = 0;
        return header;
    }
    header.serialNumber = QString::fromUtf8(upToNul(parts.at(0)));
    const QList<QByteArray> pieces = parts.at(1).split('-');
    header.deviceName = QString::fromLatin1(upToNul(pieces.at(0))).simplified();

    static const struct
    {
        const char *word;
        DeviceType type;
    } models[] = {
        {"ZazEroDar", DeviceTQM510}, {"TQM510", DeviceTQM510},    {"TQF110C", DeviceTQF110C},
        {"TQF110P", DeviceTQF110P},  {"VeZevAvu", DeviceTQD310},  {"TQD310", DeviceTQD310},
        {"RorEdeDar", DeviceTQC210}, {"TQC210", DeviceTQC210},    {"DEZAraDez", DeviceTQB210},
        {"TQB210", DeviceTQB210},    {"ZozOdoRed", DeviceTQA110}, {"TQA110", DeviceTQA110},
    };
    for (const auto &model : models) {
        if (header.deviceName == QLatin1String(model.word)) {
            header.deviceType = model.type;
            break;
        }
    }
    if (header.deviceType == DeviceUnknown) {
        *error = UnknownDevice;
        return header;
    }
    if (pieces.size() < 2) {
        // No "-" behind the model word: nothing to read the firmware from.
        header.command = 0;
        header.deviceType = DeviceUnknown;
        return header;
    }
    header.deviceTypeName = catalogue.deviceTypeName(header.deviceType);
    header.deviceTypeDescription = catalogue.deviceTypeDescription(header.deviceType);
    header.firmwareVersion = QString::fromLatin1(upToNul(pieces.at(1))).mid(1).toInt();
    header.dataLength = int(hex2long(frame.mid(23, 2)));
    return header;
}

} // namespace wire
