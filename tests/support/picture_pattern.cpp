#include "support/picture_pattern.h"

#include <cstdint>

namespace colorcorrect::test {

namespace {

BYTE* PixelPointer(CVoraDib& dib, int x, int row)
{
    BYTE* pixels = dib;
    if (pixels == nullptr || x < 0 || row < 0 || x >= dib.GetWidth() || row >= dib.GetHeight())
        return nullptr;
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    return pixels + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * step;
}

} // namespace

void FillPattern(CVoraDib& dib, unsigned seed)
{
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    uint32_t state = 2463534242u ^ (seed * 2654435761u);
    for (int row = 0; row < dib.GetHeight(); ++row)
        for (int x = 0; x < dib.GetWidth(); ++x) {
            BYTE* p = PixelPointer(dib, x, row);
            for (unsigned c = 0; c < step; ++c) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                p[c] = static_cast<BYTE>(state >> 11);
            }
        }
}

void FillUniform(CVoraDib& dib, std::initializer_list<int> bytes)
{
    for (int row = 0; row < dib.GetHeight(); ++row)
        for (int x = 0; x < dib.GetWidth(); ++x)
            SetPixel(dib, x, row, bytes);
}

void SetPixel(CVoraDib& dib, int x, int row, std::initializer_list<int> bytes)
{
    BYTE* p = PixelPointer(dib, x, row);
    if (p == nullptr)
        return;
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    unsigned c = 0;
    for (int b : bytes)
        if (c < step)
            p[c++] = static_cast<BYTE>(b);
}

} // namespace colorcorrect::test
