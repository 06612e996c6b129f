#pragma once
// Packed YUV test pictures with exact-size pixel buffers (so the address
// sanitizer sees any access past the last row), and a comparison that says
// where two pictures first differ.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace colorcorrect::test {

struct YuvPicture {
    tagYUVBMINFOHEADER header{};
    std::vector<BYTE> pixels; // exactly stride * |height| bytes
    size_t stride = 0;
    size_t pixelSize = 0;

    int Width() const { return header.biWidth; }
    int Rows() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
    BYTE* Pixel(int x, int row) { return pixels.data() + row * stride + x * pixelSize; }
    const BYTE* Pixel(int x, int row) const
    {
        return pixels.data() + row * stride + x * pixelSize;
    }
};

// A blank "@YUV" picture (all bytes `fill`). bits 24 gives 3-byte pixels
// with rows padded to 4 bytes, anything else 4-byte pixels. A negative
// height is kept in the header and gives the same number of rows.
YuvPicture MakeYuvPicture(int width, int height, int bits, uint32_t flags = 0, BYTE fill = 0);

// Fills every byte (padding included) with random values.
void FillRandom(YuvPicture& picture, std::mt19937& rng);

// Bytes equal everywhere; otherwise names the first differing byte by row,
// column and channel (or padding offset) with both values.
::testing::AssertionResult SameBytes(const YuvPicture& expected, const YuvPicture& actual);

} // namespace colorcorrect::test
