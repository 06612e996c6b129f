#include "bmp_codec.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace colorcorrect {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint16_t U16(const BYTE* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t U32(const BYTE* p)
{
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void Put16(BYTE* p, uint32_t v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void Put32(BYTE* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

bool KnownInfoHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

} // namespace

int LoadBmpFromMemory(CVoraDib& dib, const void* data, size_t size, int bits)
{
    const BYTE* file = static_cast<const BYTE*>(data);
    if (file == nullptr || (bits != 24 && bits != 32) || size < kFileHeaderBytes + 40)
        return 0;
    if (U16(file) != 0x4D42) // "BM"
        return 0;
    const uint64_t pixelOffset = U32(file + 10);
    const BYTE* info = file + kFileHeaderBytes;
    const uint32_t infoSize = U32(info);
    if (!KnownInfoHeaderSize(infoSize) || kFileHeaderBytes + uint64_t{infoSize} > size)
        return 0;
    const int32_t width = static_cast<int32_t>(U32(info + 4));
    const int32_t rawHeight = static_cast<int32_t>(U32(info + 8));
    const uint16_t planes = U16(info + 12);
    const uint16_t fileBits = U16(info + 14);
    const uint32_t compression = U32(info + 16);
    const uint32_t coloursUsed = U32(info + 32);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || planes != 1)
        return 0;
    if (fileBits != 8 && fileBits != 24 && fileBits != 32)
        return 0;
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;

    // Everything between the info header and the pixels: bit masks, palette.
    uint64_t tableEnd = kFileHeaderBytes + uint64_t{infoSize};
    bool alphaFromFile = fileBits == 32;
    if (compression == kBiBitfields) {
        if (fileBits == 8)
            return 0;
        const BYTE* masks = info + 40;
        if (infoSize == 40) {
            tableEnd += 12; // the three masks follow a plain info header
            if (tableEnd > size)
                return 0;
        }
        if (U32(masks) != 0x00FF0000u || U32(masks + 4) != 0x0000FF00u ||
            U32(masks + 8) != 0x000000FFu)
            return 0;
        const uint32_t alphaMask = infoSize >= 56 ? U32(info + 52) : 0;
        if (alphaMask != 0 && (alphaMask != 0xFF000000u || fileBits != 32))
            return 0;
        alphaFromFile = alphaMask != 0;
    } else if (compression != kBiRgb) {
        return 0;
    }
    const BYTE* palette = file + tableEnd;
    uint32_t paletteEntries = 0;
    if (fileBits == 8) {
        paletteEntries = coloursUsed == 0 ? 256 : coloursUsed;
        if (paletteEntries > 256)
            return 0;
        tableEnd += uint64_t{paletteEntries} * 4;
    }
    if (tableEnd > size || pixelOffset < tableEnd)
        return 0;

    const uint64_t fileStride = (uint64_t(width) * fileBits + 31) / 32 * 4;
    const uint64_t pixelBytes = fileStride * uint64_t(height);
    if (fileStride == 0 || uint64_t(height) > size / fileStride || pixelOffset > size ||
        pixelBytes > size - pixelOffset)
        return 0;

    CVoraDib picture;
    if (picture.Alloc(width, height, bits, 0) == 0)
        return 0; // too large for a picture, or no memory
    unsigned step = 0, stride = 0;
    picture.GetIncrements(step, stride);
    BYTE* pixels = picture;
    const BYTE* source = file + pixelOffset;
    bool anyAlpha = false;
    for (int32_t r = 0; r < height; ++r) {
        const BYTE* s = source + uint64_t(r) * fileStride;
        BYTE* d = pixels + uint64_t(topDown ? height - 1 - r : r) * stride;
        for (int32_t x = 0; x < width; ++x, d += step) {
            if (fileBits == 8) {
                const BYTE index = s[x];
                if (index >= paletteEntries)
                    return 0;
                const BYTE* entry = palette + size_t{index} * 4; // B, G, R, reserved
                d[0] = entry[0];
                d[1] = entry[1];
                d[2] = entry[2];
                continue;
            }
            const BYTE* p = s + size_t(x) * (fileBits / 8);
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
            if (fileBits == 32 && step == 4 && alphaFromFile) {
                d[3] = p[3];
                anyAlpha = anyAlpha || p[3] != 0;
            }
        }
    }
    // Many writers leave the fourth byte of 32-bit files at 0 without meaning
    // transparency: such a picture is opaque.
    if (step == 4 && alphaFromFile && !anyAlpha) {
        for (int32_t r = 0; r < height; ++r) {
            BYTE* d = pixels + uint64_t(r) * stride + 3;
            for (int32_t x = 0; x < width; ++x, d += 4)
                *d = 255;
        }
    }
    dib = std::move(picture);
    return 1;
}

std::vector<BYTE> EncodeBmp(const CVoraDib& dib)
{
    std::vector<BYTE> file;
    const tagDIBINFO* hd = dib;
    if (hd == nullptr || hd->bmiHeader.biCompression != 0)
        return file;
    const int width = hd->bmiHeader.biWidth, height = hd->bmiHeader.biHeight;
    const int bits = hd->bmiHeader.biBitCount;
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    // A picture's rows already have the file's layout: 24-bit rows padded to
    // 4 bytes, 32-bit rows unpadded, bottom row first.
    const uint64_t pixelBytes = uint64_t{stride} * static_cast<uint64_t>(height);
    const size_t headerBytes = kFileHeaderBytes + 40;
    file.assign(headerBytes + pixelBytes, 0);
    BYTE* f = file.data();
    Put16(f, 0x4D42);
    Put32(f + 2, static_cast<uint32_t>(file.size()));
    Put32(f + 10, static_cast<uint32_t>(headerBytes));
    BYTE* info = f + kFileHeaderBytes;
    Put32(info, 40);
    Put32(info + 4, static_cast<uint32_t>(width));
    Put32(info + 8, static_cast<uint32_t>(height));
    Put16(info + 12, 1);
    Put16(info + 14, static_cast<uint32_t>(bits));
    Put32(info + 16, kBiRgb);
    Put32(info + 20, static_cast<uint32_t>(pixelBytes));
    Put32(info + 24, 2835); // 72 dots per inch
    Put32(info + 28, 2835);
    const BYTE* pixels = dib;
    std::memcpy(f + headerBytes, pixels, pixelBytes);
    return file;
}

} // namespace colorcorrect
