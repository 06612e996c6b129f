#pragma once
// Visits the pixels of a packed YUV picture (internal to the analyses).

#include <cstddef>

#include "../host/vora_dib.h"

namespace colorcorrect {

// Calls f(y, u, v) for every pixel of dib, bottom row first, with y the
// luma byte and u, v the signed chroma (byte - 128). Nothing for an empty
// picture.
template <typename F>
void ForEachYuvPixel(const CVoraDib& dib, F&& f)
{
    const BYTE* pixels = dib;
    if (pixels == nullptr)
        return;
    unsigned pixelStep = 0, lineStep = 0;
    dib.GetIncrements(pixelStep, lineStep);
    const int width = dib.GetWidth();
    const int height = dib.GetHeight();
    for (int row = 0; row < height; ++row) {
        const BYTE* p = pixels + static_cast<size_t>(row) * lineStep;
        for (int x = 0; x < width; ++x, p += pixelStep)
            f(int{p[0]}, p[1] - 128, p[2] - 128);
    }
}

} // namespace colorcorrect
