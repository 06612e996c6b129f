// LoadBmpFromMemory on any bytes, at 24 and at 32 bits: a refusal leaves the
// picture as it was; both loads agree on the verdict, the size and the pixels;
// a loaded picture written with EncodeBmp loads back the same.

#include "support/fuzz_support.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

bool LoadAndCheck(const uint8_t* data, size_t size, int bits, CVoraDib& dib)
{
    dib.AllocYUV(3, 2, 32, 0); // what a refused load must leave alone
    const std::vector<BYTE> before = BlockBytes(dib);
    const int loaded = LoadBmpFromMemory(dib, data, size, bits);
    CheckPicture(dib);
    FUZZ_CHECK(loaded == 0 || loaded == 1);
    if (loaded == 0) {
        CheckUnchanged(dib, before, "LoadBmpFromMemory");
        return false;
    }
    const tagYUVBMINFOHEADER& bi = static_cast<const tagDIBINFO*>(dib)->bmiHeader;
    FUZZ_CHECK(bi.biCompression == 0 && bi.biBitCount == bits && bi.dwFlags == 0);
    FUZZ_CHECK(size >= 14 + 40); // only files with a full info header
    int32_t width = 0, height = 0;
    std::memcpy(&width, data + 18, 4); // the file's little-endian fields
    std::memcpy(&height, data + 22, 4);
    FUZZ_CHECK(dib.GetWidth() == width && dib.GetHeight() == (height < 0 ? -height : height));
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CVoraDib rgb24, rgb32;
    const bool ok24 = LoadAndCheck(data, size, 24, rgb24);
    FUZZ_CHECK(ok24 == LoadAndCheck(data, size, 32, rgb32));
    if (!ok24)
        return 0;
    for (int y = 0; y < rgb24.GetHeight(); ++y)
        for (int x = 0; x < rgb24.GetWidth(); ++x)
            FUZZ_CHECK(std::memcmp(PixelAt(rgb24, x, y), PixelAt(rgb32, x, y), 3) == 0, "pixel %d of memory row %d", x, y);
    // Written again, the picture loads back the same.
    const std::vector<BYTE> file = EncodeBmp(rgb24);
    CVoraDib again;
    FUZZ_CHECK(!file.empty() && LoadBmpFromMemory(again, file.data(), file.size(), 24) == 1);
    CheckSamePixels(rgb24, again, "a BMP written and read again");
    return 0;
}
