#include "support/fuzz_check.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace colorcorrect::fuzz {

void Fail(const char* file, int line, const char* condition, const char* format, ...)
{
    std::fprintf(stderr, "fuzz check failed at %s:%d: %s: ", file, line, condition);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

void CheckPicture(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    const BYTE* pixels = dib;
    unsigned step = 99, line = 99;
    dib.GetIncrements(step, line);
    if (hd == nullptr) {
        FUZZ_CHECK(pixels == nullptr, "empty picture hands out pixels");
        FUZZ_CHECK(dib.GetWidth() == 0 && dib.GetHeight() == 0, "empty picture is %d x %d",
                   dib.GetWidth(), dib.GetHeight());
        FUZZ_CHECK(step == 0 && line == 0, "empty picture has increments %u, %u", step, line);
        return;
    }
    const int w = dib.GetWidth(), h = dib.GetHeight();
    const int bits = hd->bmiHeader.biBitCount;
    FUZZ_CHECK(w > 0 && h > 0, "picture is %d x %d", w, h);
    FUZZ_CHECK(w == hd->bmiHeader.biWidth && h == hd->bmiHeader.biHeight,
               "size %d x %d differs from the header's %d x %d", w, h, hd->bmiHeader.biWidth,
               hd->bmiHeader.biHeight);
    FUZZ_CHECK(bits == 24 || bits == 32, "bit count %d", bits);
    FUZZ_CHECK(step == (bits == 32 ? 4u : 3u), "pixel step %u at %d bits", step, bits);
    FUZZ_CHECK(line == RowStride(w, bits), "line step %u, expected %u", line, RowStride(w, bits));
    FUZZ_CHECK(pixels == reinterpret_cast<const BYTE*>(hd) + hd->bfOffBits,
               "pixels not at bfOffBits %u", hd->bfOffBits);
    const uint64_t needed = uint64_t{hd->bfOffBits} + uint64_t{line} * static_cast<uint64_t>(h);
    FUZZ_CHECK(needed <= dib.GetMemory().GetSize(), "block of %lu bytes, header needs %llu",
               dib.GetMemory().GetSize(), static_cast<unsigned long long>(needed));
    unsigned sum = 0;
    for (int y = 0; y < h; ++y) {
        const BYTE* row = pixels + static_cast<uint64_t>(y) * line;
        for (unsigned i = 0; i < static_cast<unsigned>(w) * step; ++i)
            sum += row[i];
    }
    volatile unsigned sink = sum;
    (void)sink;
}

std::vector<BYTE> BlockBytes(const CVoraDib& dib)
{
    const CPMemory& block = dib.GetMemory();
    const BYTE* p = block;
    return p == nullptr ? std::vector<BYTE>() : std::vector<BYTE>(p, p + block.GetSize());
}

void CheckUnchanged(const CVoraDib& dib, const std::vector<BYTE>& before, const char* operation)
{
    const std::vector<BYTE> after = BlockBytes(dib);
    FUZZ_CHECK(after.size() == before.size(), "failed %s changed the block size from %zu to %zu",
               operation, before.size(), after.size());
    for (size_t i = 0; i < after.size(); ++i)
        FUZZ_CHECK(after[i] == before[i], "failed %s changed block byte %zu from %u to %u",
                   operation, i, before[i], after[i]);
}

void CheckSamePixels(const CVoraDib& expected, const CVoraDib& actual, const char* what)
{
    const tagDIBINFO* e = expected;
    const tagDIBINFO* a = actual;
    FUZZ_CHECK((e == nullptr) == (a == nullptr), "%s: one picture is empty, the other not", what);
    if (e == nullptr)
        return;
    const tagYUVBMINFOHEADER& eb = e->bmiHeader;
    const tagYUVBMINFOHEADER& ab = a->bmiHeader;
    FUZZ_CHECK(eb.biWidth == ab.biWidth && eb.biHeight == ab.biHeight &&
                   eb.biBitCount == ab.biBitCount && eb.biCompression == ab.biCompression,
               "%s: %d x %d x %u (0x%x) against %d x %d x %u (0x%x)", what, eb.biWidth,
               eb.biHeight, eb.biBitCount, eb.biCompression, ab.biWidth, ab.biHeight,
               ab.biBitCount, ab.biCompression);
    unsigned step = 0, line = 0;
    expected.GetIncrements(step, line);
    const BYTE* ep = expected;
    const BYTE* ap = actual;
    for (int y = 0; y < eb.biHeight; ++y) {
        for (int x = 0; x < eb.biWidth; ++x) {
            const size_t at = static_cast<size_t>(y) * line + static_cast<size_t>(x) * step;
            FUZZ_CHECK(std::memcmp(ep + at, ap + at, step) == 0,
                       "%s: pixel x %d, memory row %d: expected %u %u %u, actual %u %u %u", what,
                       x, y, ep[at], ep[at + 1], ep[at + 2], ap[at], ap[at + 1], ap[at + 2]);
        }
    }
}

} // namespace colorcorrect::fuzz
