#pragma once

// Pure encoders: device state in, reply bytes out (Parts 1.3, 1.5, 1.6, 2.1, 5.1).
// Nothing here reads the clock or the network; the caller passes the time.

#include "scenario.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace loggersim {
namespace encoder {

constexpr char STX = 0x02;
constexpr char CR = 0x0D;
// The host examines nothing shorter than this.
constexpr int MinimumFrame = 40;

// Big-endian 16-bit CRC of the protocol (crc16.h), appended high byte first.
QByteArray crcBytes(const QByteArray &data);

// "serial" 0x02 "model-Vnn", cut or padded with NUL to 19 bytes.
QByteArray identification(const QString &serial, const QString &model, int firmware);
// False when the identification has to be cut to fit its 19 bytes.
bool identificationFits(const QString &serial, const QString &model, int firmware);

// Whole reply frame: code, STX, identification, length, header CRC, payload,
// payload CRC (deliberately wrong when corruptCrc), CR CR CR. The payload is
// taken as given; the builders below already pad it to the 40-byte minimum.
QByteArray frame(const char *code, const QByteArray &ident, const QByteArray &payload,
                 bool corruptCrc = false);

// Frame for a VER payload: a payload too short for 40 bytes is followed, after
// its CRC, by NUL bytes that lie outside the header's length (the host reads
// only the first "length" payload bytes of a data block).
QByteArray blockFrame(const QByteArray &ident, const QByteArray &payload, bool corruptCrc = false);

// Appends blanks to the last field until payload + CRC make a 40-byte frame.
QByteArray padded(const QByteArray &payload);

// Decimal text of a number as the device prints it (no exponent, no trailing zeros).
QByteArray number(double v);
// printf "%g" with 6 significant digits.
QByteArray g6(double v);

// Payloads (without their CRC), in the field order of the host's decoders.
QByteArray identityPayload(const Scenario &s);                                           // KML
QByteArray instantPayload(const Scenario &s, const QDateTime &now);                      // ANL
QByteArray setupPayload(const Scenario &s, const QDateTime &now);                        // PAR
QByteArray channelNamesPayload(const Scenario &s);                                       // RKL
QByteArray calibrationsPayload(const Scenario &s);                                       // KOK
QByteArray alarmsPayload(const Scenario &s);                                             // ALR
QByteArray fileInfoPayload(const QList<FileEntry> &files, int lastPage, int lastBuffer); // DOS
QByteArray answerPayload(const QByteArray &word);                                        // CEV
// VER: 0x00, page (16 bits), data, 0x00.
QByteArray blockPayload(int page, const QByteArray &data);
// VER end marker: 0x00, page (16 bits), "BITTI", 0x00.
QByteArray endPayload(int page);

} // namespace encoder
} // namespace loggersim
