#include "support/color_bars.h"

#include <cstddef>

namespace colorcorrect::test {

CVoraDib MakeColorBars(int width, int height, int bits)
{
    return MakeSoftColorBars(width, height, bits, 0);
}

CVoraDib MakeSoftColorBars(int width, int height, int bits, int transition)
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
            const int bar = ColorBarAt(x, width);
            const auto& rgb = kColorBarRgb[static_cast<size_t>(bar)];
            // Columns before the next bar's first column blend toward it.
            int toNext = 0;
            if (bar < 7) {
                int next = x + 1;
                while (ColorBarAt(next, width) == bar)
                    ++next;
                toNext = next - x;
            }
            int c[3] = {rgb[0], rgb[1], rgb[2]};
            if (bar < 7 && toNext <= transition) {
                const auto& to = kColorBarRgb[static_cast<size_t>(bar + 1)];
                const int k = transition - toNext + 1; // 1..transition
                for (int i = 0; i < 3; ++i)
                    c[i] = rgb[static_cast<size_t>(i)] +
                           (to[static_cast<size_t>(i)] - rgb[static_cast<size_t>(i)]) * k /
                               (transition + 1);
            }
            p[0] = static_cast<BYTE>(c[2]);
            p[1] = static_cast<BYTE>(c[1]);
            p[2] = static_cast<BYTE>(c[0]);
        }
    }
    dib.ToYUV();
    return dib;
}

} // namespace colorcorrect::test
