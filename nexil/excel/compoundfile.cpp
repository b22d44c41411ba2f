#include "nexil/excel/compoundfile.h"

#include <QtEndian>
#include <cstring>

namespace {
const int kSector = 512;
const int kEntriesPerFat = kSector / 4;
const int kHeaderDifat = 109;
const int kMiniCutoff = 4096;
const quint32 kFree = 0xFFFFFFFF;
const quint32 kEndOfChain = 0xFFFFFFFE;
const quint32 kFatSector = 0xFFFFFFFD;
const quint32 kDifatSector = 0xFFFFFFFC;
const quint32 kNoStream = 0xFFFFFFFF;

void put16(QByteArray &b, int at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
}
void put32(QByteArray &b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

void directoryEntry(QByteArray &dir, int index, const QString &name, quint8 type, quint32 child,
                    quint32 start, quint32 size)
{
    const int at = index * 128;
    const QString n = name.left(31);
    for (int i = 0; i < n.size(); ++i)
        put16(dir, at + 2 * i, n.at(i).unicode());
    put16(dir, at + 64, quint16((n.size() + 1) * 2));
    dir[at + 66] = char(type);
    dir[at + 67] = 1; // black
    put32(dir, at + 68, kNoStream);
    put32(dir, at + 72, kNoStream);
    put32(dir, at + 76, child);
    put32(dir, at + 116, start);
    put32(dir, at + 120, size);
}
} // namespace

QByteArray CompoundFile::build(const QString &streamName, QByteArray stream)
{
    if (stream.size() < kMiniCutoff)
        stream.append(QByteArray(kMiniCutoff - stream.size(), '\0'));
    const quint32 streamSize = quint32(stream.size());
    const int streamSectors = (stream.size() + kSector - 1) / kSector;
    const int dirSectors = 1;

    // Find FAT and DIFAT sector counts large enough to map every sector,
    // their own included.
    int fatSectors = 1, difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > kHeaderDifat ? (fatSectors - kHeaderDifat + 126) / 127 : 0;
        const int total = streamSectors + dirSectors + fatSectors + difatSectors;
        if (total <= fatSectors * kEntriesPerFat)
            break;
        ++fatSectors;
    }
    const int dirStart = streamSectors;
    const int fatStart = dirStart + dirSectors;
    const int difatStart = fatStart + fatSectors;
    const int totalSectors = difatStart + difatSectors;

    QByteArray out(kSector * (1 + totalSectors), '\0');

    // Header.
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(out.data(), signature, 8);
    put16(out, 24, 0x003E);
    put16(out, 26, 0x0003);
    put16(out, 28, 0xFFFE);
    put16(out, 30, 9);
    put16(out, 32, 6);
    put32(out, 44, quint32(fatSectors));
    put32(out, 48, quint32(dirStart));
    put32(out, 56, kMiniCutoff);
    put32(out, 60, kEndOfChain);
    put32(out, 68, difatSectors ? quint32(difatStart) : kEndOfChain);
    put32(out, 72, quint32(difatSectors));
    for (int i = 0; i < kHeaderDifat; ++i)
        put32(out, 76 + 4 * i, i < fatSectors ? quint32(fatStart + i) : kFree);

    auto sectorAt = [](int sector) { return kSector * (1 + sector); };

    std::memcpy(out.data() + sectorAt(0), stream.constData(), size_t(stream.size()));

    QByteArray dir(kSector, '\0');
    for (int i = 0; i < 4; ++i) { // unused entries still need "no sibling" links
        put32(dir, i * 128 + 68, kNoStream);
        put32(dir, i * 128 + 72, kNoStream);
        put32(dir, i * 128 + 76, kNoStream);
    }
    directoryEntry(dir, 0, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    directoryEntry(dir, 1, streamName, 2, kNoStream, 0, streamSize);
    std::memcpy(out.data() + sectorAt(dirStart), dir.constData(), kSector);

    // FAT: every FAT entry of every FAT sector, free unless set below.
    const int fatBase = sectorAt(fatStart);
    std::memset(out.data() + fatBase, 0xFF, size_t(fatSectors * kSector));
    auto fat = [&](int sector, quint32 value) { put32(out, fatBase + 4 * sector, value); };
    for (int s = 0; s < streamSectors; ++s)
        fat(s, s + 1 < streamSectors ? quint32(s + 1) : kEndOfChain);
    fat(dirStart, kEndOfChain);
    for (int s = 0; s < fatSectors; ++s)
        fat(fatStart + s, kFatSector);
    for (int s = 0; s < difatSectors; ++s)
        fat(difatStart + s, kDifatSector);

    // DIFAT sectors: the FAT sectors the header has no room for, 127 per
    // sector, each ending with the next DIFAT sector.
    for (int d = 0; d < difatSectors; ++d) {
        const int base = sectorAt(difatStart + d);
        std::memset(out.data() + base, 0xFF, kSector);
        for (int i = 0; i < 127; ++i) {
            const int fatIndex = kHeaderDifat + d * 127 + i;
            if (fatIndex < fatSectors)
                put32(out, base + 4 * i, quint32(fatStart + fatIndex));
        }
        put32(out, base + 4 * 127, d + 1 < difatSectors ? quint32(difatStart + d + 1) : kEndOfChain);
    }
    return out;
}
