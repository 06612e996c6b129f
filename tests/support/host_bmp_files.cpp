#include "support/host_bmp_files.h"

namespace colorcorrect::test {

void PutLittleEndian(BYTE* at, uint32_t value, uint32_t bytes)
{
    for (uint32_t i = 0; i < bytes; ++i)
        at[i] = static_cast<BYTE>(value >> (8 * i));
}

std::vector<BYTE> MakeBmpFile(int32_t width, int32_t height, int bits, uint32_t compression,
                              const std::vector<BYTE>& table, const std::vector<BYTE>& rows,
                              uint32_t coloursUsed, uint32_t infoSize)
{
    std::vector<BYTE> f(54);
    const auto offset = static_cast<uint32_t>(54 + table.size());
    const uint32_t fields[][2] = {{0, 0x4D42}, {2, offset + uint32_t(rows.size())}, {10, offset},
                                  {14, infoSize}, {18, uint32_t(width)}, {22, uint32_t(height)},
                                  {26, 1 | uint32_t(bits) << 16}, {30, compression}, {46, coloursUsed}};
    for (const auto& [at, value] : fields)
        PutLittleEndian(&f[at], value);
    f.insert(f.end(), table.begin(), table.end());
    f.insert(f.end(), rows.begin(), rows.end());
    return f;
}

std::vector<BYTE> PalettisedBmpFile()
{
    return MakeBmpFile(3, 2, 8, 0, {0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 10, 20, 30, 0},
                       {1, 2, 3, 0, 3, 0, 1, 0}, 4);
}

std::vector<BYTE> BmpMasks(int64_t alpha)
{
    std::vector<BYTE> masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0};
    PutLittleEndian(&masks[12], static_cast<uint32_t>(alpha));
    masks.resize(alpha < 0 ? 12 : 16);
    return masks;
}

} // namespace colorcorrect::test
