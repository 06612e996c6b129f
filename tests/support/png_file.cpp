#include "support/png_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace colorcorrect::test {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kStoredBlock = 65535;

void PutBE32(std::vector<unsigned char>& out, uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

uint32_t GetBE32(const unsigned char* p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

uint32_t Adler32(const std::vector<unsigned char>& data)
{
    uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521u;
        b = (b + a) % 65521u;
    }
    return b << 16 | a;
}

// Chunk: length, type, data, CRC of type and data (the CRC of PNG is the
// host's checksum).
void PutChunk(std::vector<unsigned char>& file, const char* type,
              const std::vector<unsigned char>& data)
{
    PutBE32(file, static_cast<uint32_t>(data.size()));
    std::vector<unsigned char> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    file.insert(file.end(), body.begin(), body.end());
    PutBE32(file, GetCRC1615(body.data(), static_cast<unsigned long>(body.size())));
}

} // namespace

bool WritePng(const CVoraDib& rgb, const std::string& path)
{
    const tagDIBINFO* hd = rgb;
    if (hd == nullptr || hd->bmiHeader.biCompression != 0)
        return false;
    const int width = rgb.GetWidth(), height = rgb.GetHeight();
    unsigned pixelStep = 0, lineStep = 0;
    rgb.GetIncrements(pixelStep, lineStep);
    const BYTE* pixels = rgb;

    // Rows top first on screen: memory row height - 1 first.
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int row = height - 1; row >= 0; --row) {
        raw.push_back(0); // filter: none
        const BYTE* p = pixels + static_cast<size_t>(row) * lineStep;
        for (int x = 0; x < width; ++x, p += pixelStep) {
            raw.push_back(p[2]);
            raw.push_back(p[1]);
            raw.push_back(p[0]);
        }
    }

    std::vector<unsigned char> zlib = {0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0; at += kStoredBlock) {
        const size_t n = std::min(kStoredBlock, raw.size() - at);
        const bool last = at + n >= raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<unsigned char>(n));
        zlib.push_back(static_cast<unsigned char>(n >> 8));
        zlib.push_back(static_cast<unsigned char>(~n));
        zlib.push_back(static_cast<unsigned char>(~n >> 8));
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (last)
            break;
    }
    PutBE32(zlib, Adler32(raw));

    std::vector<unsigned char> ihdr;
    PutBE32(ihdr, static_cast<uint32_t>(width));
    PutBE32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, filter 0, no interlace

    std::vector<unsigned char> file(std::begin(kSignature), std::end(kSignature));
    PutChunk(file, "IHDR", ihdr);
    PutChunk(file, "IDAT", zlib);
    PutChunk(file, "IEND", {});

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

bool ReadStoredPng(const std::string& path, PngPixels& out)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0)
        return false;

    std::vector<unsigned char> zlib;
    int width = 0, height = 0;
    bool ended = false;
    for (size_t at = 8; !ended;) {
        if (file.size() - at < 12)
            return false;
        const uint32_t length = GetBE32(&file[at]);
        if (file.size() - at - 12 < length)
            return false;
        const unsigned char* type = &file[at + 4];
        const unsigned char* data = type + 4;
        if (GetCRC1615(type, length + 4) != GetBE32(data + length))
            return false;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13 || data[8] != 8 || data[9] != 2 || data[12] != 0)
                return false;
            width = static_cast<int>(GetBE32(data));
            height = static_cast<int>(GetBE32(data + 4));
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            zlib.insert(zlib.end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        }
        at += 12 + length;
    }
    if (width <= 0 || height <= 0 || zlib.size() < 6)
        return false;

    std::vector<unsigned char> raw;
    size_t at = 2;
    for (bool last = false; !last;) {
        if (zlib.size() - at < 5 || (zlib[at] & 6) != 0)
            return false; // not a stored block
        last = (zlib[at] & 1) != 0;
        const size_t n = zlib[at + 1] | zlib[at + 2] << 8;
        const size_t nn = zlib[at + 3] | zlib[at + 4] << 8;
        if ((n ^ nn) != 0xFFFF || zlib.size() - at - 5 < n)
            return false;
        raw.insert(raw.end(), zlib.begin() + static_cast<std::ptrdiff_t>(at + 5),
                   zlib.begin() + static_cast<std::ptrdiff_t>(at + 5 + n));
        at += 5 + n;
    }
    if (zlib.size() - at != 4 || GetBE32(&zlib[at]) != Adler32(raw))
        return false;

    const size_t rowBytes = 1 + 3 * static_cast<size_t>(width);
    if (raw.size() != rowBytes * static_cast<size_t>(height))
        return false;
    out.width = width;
    out.height = height;
    out.rgb.clear();
    for (int row = 0; row < height; ++row) {
        const unsigned char* r = &raw[row * rowBytes];
        if (r[0] != 0)
            return false;
        out.rgb.insert(out.rgb.end(), r + 1, r + rowBytes);
    }
    return true;
}

} // namespace colorcorrect::test
