#pragma once

// The checksum both directions of the device protocol use: reflected CRC-16,
// constant 0xBEEF applied after the right shift, initial value 0xFFFF, no
// final XOR. Header-only so the simulator can share it without the library.

#include <cstdint>

namespace nexilcrc {

// Bytes beyond `size` up to `length` count as zero; a length below 1 gives 0xFFFF.
inline std::uint16_t crc16(const unsigned char *data, int size, int length)
{
    if (length < 1)
        return 0xFFFF;
    std::uint16_t crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= (i < size && data) ? data[i] : 0;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xBEEF) : std::uint16_t(crc >> 1);
    }
    return crc;
}

} // namespace nexilcrc
