// CRC-16 over bytes, four bytes per step through four derived tables.
#include "archive/crc16.h"

#include <array>
#include <cstring>

namespace {

struct TCrcTables {
    std::array<std::array<uint16_t, 256>, 4> T;
    TCrcTables()
    {
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
            T[0][i] = c;
        }
        for (unsigned i = 0; i < 256; ++i)
            for (int t = 1; t < 4; ++t)
                T[t][i] = static_cast<uint16_t>((T[t - 1][i] >> 8) ^ T[0][T[t - 1][i] & 0xFF]);
    }
};

const TCrcTables& Tables()
{
    static const TCrcTables tables;
    return tables;
}

}   // namespace

uint16_t Crc16Update(uint16_t crc, const void* data, size_t n)
{
    const auto& T = Tables().T;
    const auto* p = static_cast<const uint8_t*>(data);
    while (n >= 4) {
        uint32_t w;
        std::memcpy(&w, p, 4);   // little-endian load: the bytes in stream order
        w ^= crc;
        crc = static_cast<uint16_t>(T[3][w & 0xFF] ^ T[2][(w >> 8) & 0xFF] ^ T[1][(w >> 16) & 0xFF] ^ T[0][w >> 24]);
        p += 4;
        n -= 4;
    }
    while (n--)
        crc = static_cast<uint16_t>((crc >> 8) ^ T[0][(crc ^ *p++) & 0xFF]);
    return crc;
}
