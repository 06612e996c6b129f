// BMP file images from arbitrary bytes: colorcorrect::LoadBmpFromMemory.
//
// Every input is loaded at 24 and at 32 bits. Beyond the sanitizers, the
// target checks what the loader promises:
//  - a refused image leaves the target picture exactly as it was;
//  - a loaded picture is a consistent RGB picture of the file's size;
//  - both loads agree on bytes 0..2 of every pixel;
//  - a loaded picture written with EncodeBmp loads back to the same pixels.

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/fuzz_check.h"

using colorcorrect::LoadBmpFromMemory;
using namespace colorcorrect::fuzz;

namespace {

int32_t Le32(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                (uint32_t{p[3]} << 24));
}

// Loads at `bits` into a picture that already holds something, and checks the
// result. Returns whether the image was accepted.
bool LoadAndCheck(const uint8_t* data, size_t size, int bits, CVoraDib& dib)
{
    dib.AllocYUV(3, 2, 32, 0); // a picture the failed load must leave alone
    const std::vector<BYTE> before = BlockBytes(dib);
    const int loaded = LoadBmpFromMemory(dib, data, size, bits);
    FUZZ_CHECK(loaded == 0 || loaded == 1, "result %d", loaded);
    CheckPicture(dib);
    if (loaded == 0) {
        CheckUnchanged(dib, before, "LoadBmpFromMemory");
        return false;
    }
    const tagDIBINFO* hd = dib;
    FUZZ_CHECK(hd != nullptr, "loaded picture is empty");
    FUZZ_CHECK(hd->bmiHeader.biCompression == 0 && hd->bmiHeader.biBitCount == bits,
               "loaded picture has compression 0x%x, %u bits", hd->bmiHeader.biCompression,
               hd->bmiHeader.biBitCount);
    FUZZ_CHECK(hd->bmiHeader.dwFlags == 0, "loaded picture has flags 0x%x", hd->bmiHeader.dwFlags);
    // The loader accepts only images with a full info header, so the size
    // fields are there to compare with.
    FUZZ_CHECK(size >= 14 + 40, "accepted %zu bytes", size);
    const int32_t width = Le32(data + 18), height = Le32(data + 22);
    FUZZ_CHECK(dib.GetWidth() == width && dib.GetHeight() == (height < 0 ? -height : height),
               "picture %d x %d from a file of %d x %d", dib.GetWidth(), dib.GetHeight(), width,
               height);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CVoraDib rgb24, rgb32;
    const bool ok24 = LoadAndCheck(data, size, 24, rgb24);
    const bool ok32 = LoadAndCheck(data, size, 32, rgb32);
    FUZZ_CHECK(ok24 == ok32, "accepted at 24 bits: %d, at 32 bits: %d", ok24, ok32);
    if (!ok24)
        return 0;

    // Both loads carry the same colours.
    unsigned step24 = 0, line24 = 0, step32 = 0, line32 = 0;
    rgb24.GetIncrements(step24, line24);
    rgb32.GetIncrements(step32, line32);
    const BYTE* p24 = rgb24;
    const BYTE* p32 = rgb32;
    for (int y = 0; y < rgb24.GetHeight(); ++y)
        for (int x = 0; x < rgb24.GetWidth(); ++x) {
            const BYTE* a = p24 + size_t(y) * line24 + size_t(x) * step24;
            const BYTE* b = p32 + size_t(y) * line32 + size_t(x) * step32;
            FUZZ_CHECK(std::memcmp(a, b, 3) == 0, "x %d, memory row %d: 24-bit %u %u %u, 32-bit %u %u %u",
                       x, y, a[0], a[1], a[2], b[0], b[1], b[2]);
        }

    // What the library writes, it reads back unchanged.
    for (CVoraDib* dib : {&rgb24, &rgb32}) {
        const std::vector<BYTE> file = colorcorrect::EncodeBmp(*dib);
        FUZZ_CHECK(!file.empty(), "EncodeBmp gave nothing for a loaded picture");
        const tagDIBINFO* hd = *dib;
        CVoraDib again;
        FUZZ_CHECK(LoadBmpFromMemory(again, file.data(), file.size(), hd->bmiHeader.biBitCount) == 1,
                   "the encoded picture was refused");
        CheckSamePixels(*dib, again, "encoded and loaded again");
    }
    return 0;
}
