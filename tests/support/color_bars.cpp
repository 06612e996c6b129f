#include "support/color_bars.h"

#include <cstddef>

namespace colorcorrect::test {

CVoraDib MakeColorBars(int width, int height, int bits)
{
    CVoraDib dib;
    if (!dib.Alloc(width, height, bits, 0))
        return dib;
    BYTE* base = dib;
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    for (int row = 0; row < height; ++row) {
        BYTE* p = base + static_cast<size_t>(row) * line;
        for (int x = 0; x < width; ++x, p += step) {
            const auto& rgb = kColorBarRgb[static_cast<size_t>(ColorBarAt(x, width))];
            p[0] = static_cast<BYTE>(rgb[2]);
            p[1] = static_cast<BYTE>(rgb[1]);
            p[2] = static_cast<BYTE>(rgb[0]);
        }
    }
    dib.ToYUV();
    return dib;
}

} // namespace colorcorrect::test
