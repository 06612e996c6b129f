// Output maps: identity between two knees, constant beyond them.

#include <cmath>

#include "base_color_correction_filter.h"

namespace {

// Writes entry x (of -512..511) of a 1024-entry map; other inputs have no
// entry and are ignored, which keeps odd arguments inside the table.
void Put(int* lut, int x, int value)
{
    if (x >= -512 && x <= 511)
        lut[x + 512] = value;
}

} // namespace

void CBaseColorCorrectionFilter::BuildClippingLUT(int* lut, int lo, int loOut, int hi, int hiOut,
                                                  BYTE soft)
{
    if (lo >= -512)
        for (int x = -512; x <= lo && x <= 511; ++x)
            Put(lut, x, loOut);
    if (hi < 512)
        for (int x = hi < -512 ? -512 : hi; x <= 511; ++x)
            Put(lut, x, hiOut);

    // Black knee: from lo + length down to lo + 1 the output bends from the
    // identity to loOut along kb * j^eb, which meets both ends.
    const int db = loOut - lo;
    int top = lo;
    if (db > 0) {
        const int lb = db + static_cast<int>((static_cast<unsigned>(soft) * db) / 255u);
        const double eb = static_cast<double>(lb) / db;
        const double kb = db / std::pow(static_cast<double>(lb), eb);
        top = lo + lb;
        for (int j = 0; j < lb; ++j) {
            const int x = top - j;
            Put(lut, x, static_cast<int>(kb * std::pow(static_cast<double>(j), eb) + x + 1024.5) -
                            1024);
        }
    }

    // White knee, the mirror image: from hi - length up to hi - 1.
    const int dw = hi - hiOut;
    int start = hi;
    if (dw > 0) {
        const int lw = dw + static_cast<int>((static_cast<unsigned>(soft) * dw) / 255u);
        const double ew = static_cast<double>(lw) / dw;
        const double kw = dw / std::pow(static_cast<double>(lw), ew);
        start = hi - lw;
        for (int j = 0; j < lw; ++j) {
            const int x = start + j;
            Put(lut, x, static_cast<int>(x - kw * std::pow(static_cast<double>(j), ew) + 1024.5) -
                            1024);
        }
    }

    for (int x = top < -512 ? -512 : top; x < start && x <= 511; ++x)
        Put(lut, x, x);
}
