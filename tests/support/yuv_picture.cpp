#include "yuv_picture.h"

#include <cstdlib>

namespace colorcorrect::test {

YuvPicture MakeYuvPicture(int width, int height, int bits, uint32_t flags, BYTE fill)
{
    YuvPicture p;
    p.header.biSize = 40;
    p.header.biWidth = width;
    p.header.biHeight = height;
    p.header.biPlanes = 1;
    p.header.biBitCount = static_cast<uint16_t>(bits);
    p.header.biCompression = YUV_COMPRESSION;
    p.header.dwFlags = flags;
    p.pixelSize = bits == 24 ? 3 : 4;
    const size_t w = width < 0 ? 0 : static_cast<size_t>(width);
    p.stride = bits == 24 ? (w * 3 + 3) / 4 * 4 : w * 4;
    const size_t rows = static_cast<size_t>(std::abs(static_cast<long long>(height)));
    p.pixels.assign(p.stride * rows, fill);
    p.header.biSizeImage = static_cast<uint32_t>(p.pixels.size());
    return p;
}

void FillRandom(YuvPicture& picture, std::mt19937& rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    for (BYTE& b : picture.pixels)
        b = static_cast<BYTE>(byte(rng));
}

::testing::AssertionResult SameBytes(const YuvPicture& expected, const YuvPicture& actual)
{
    if (expected.pixels.size() != actual.pixels.size())
        return ::testing::AssertionFailure()
               << "sizes differ: expected " << expected.pixels.size() << " bytes, got "
               << actual.pixels.size();
    for (size_t i = 0; i < expected.pixels.size(); ++i) {
        if (expected.pixels[i] == actual.pixels[i])
            continue;
        const size_t row = i / expected.stride;
        const size_t inRow = i % expected.stride;
        const size_t x = inRow / expected.pixelSize;
        auto failure = ::testing::AssertionFailure();
        if (x < static_cast<size_t>(expected.Width()))
            failure << "pixel (x " << x << ", row " << row << ") byte "
                    << inRow % expected.pixelSize;
        else
            failure << "row " << row << " padding byte " << inRow;
        return failure << ": expected " << int(expected.pixels[i]) << ", got "
                       << int(actual.pixels[i]);
    }
    return ::testing::AssertionSuccess();
}

} // namespace colorcorrect::test
