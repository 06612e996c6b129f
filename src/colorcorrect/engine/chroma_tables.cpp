// Hue rotation and saturation tables, indexed by signed chroma.

#include <cmath>

#include "angles.h"
#include "base_color_correction_filter.h"
#include "curve_math.h"

using colorcorrect::ClampControl;
using colorcorrect::RoundHalfAway;

void CBaseColorCorrectionFilter::BuildCosSinLUT(BYTE* cosLut, BYTE* sinLut, WORD* satLut, int sat,
                                                int hueDegrees, int clampSat)
{
    sat = ClampControl(sat);
    hueDegrees = hueDegrees < -180 ? -180 : (hueDegrees > 180 ? 180 : hueDegrees);

    const double cosH = std::cos(hueDegrees * colorcorrect::g_Pi / 180.0);
    const double sinH = std::sin(hueDegrees * colorcorrect::g_Pi / 180.0);

    // Positive controls grow faster than linearly (sat 128 gives 347, sat
    // 255 gives 1065); negative ones fade linearly to grey at -255.
    const int boost =
        sat > 0 ? static_cast<int>((std::exp(sat / 128.0) - 1 + sat / 128.0) * 128) : sat;
    const double gain = (boost + 255) / 255.0;

    for (int n = 0; n < 256; ++n) {
        const int x = static_cast<int8_t>(static_cast<uint8_t>(n));
        int s = RoundHalfAway(x * gain);
        if (clampSat != 0) {
            s = s < -127 ? -127 : (s > 127 ? 127 : s);
            satLut[n] = static_cast<WORD>(s & 0xFF);
        } else {
            satLut[n] = static_cast<WORD>(static_cast<int16_t>(s));
        }
        cosLut[n] = static_cast<BYTE>(RoundHalfAway(x * cosH) & 0xFF);
        sinLut[n] = static_cast<BYTE>(RoundHalfAway(x * sinH) & 0xFF);
    }
}
