#include "checksum.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

} // namespace

DWORD GetCRC1615(const void* data, unsigned long length)
{
    const BYTE* p = static_cast<const BYTE*>(data);
    uint32_t crc = 0xFFFFFFFFu;
    if (p != nullptr)
        for (unsigned long i = 0; i < length; ++i)
            crc = kCrcTable[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}
