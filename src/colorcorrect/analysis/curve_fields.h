#pragma once
// Access to the red, green and blue curve controls of a correction record by
// channel number, for the analyses that compute them. Internal to the
// library.

#include <cmath>

#include "../records/correction_records.h"
#include "../records/field_catalogue.h"
#include "channel_curve_fit.h"

namespace colorcorrect {

// Channel numbers used below.
inline constexpr int CURVE_RED = 0;
inline constexpr int CURVE_GREEN = 1;
inline constexpr int CURVE_BLUE = 2;

// The three controls of one channel curve.
struct ChannelCurve {
    int black = 0; // offset at zero, 1/256 of full scale
    int gamma = 0; // gamma control value
    int white = 0; // offset at full scale, 1/256 of full scale
};

// The keys of each channel's black, gamma and white controls.
inline constexpr const char* kChannelCurveKeys[3][3] = {
    {"r_black", "r_gamma", "r_white"},
    {"g_black", "g_gamma", "g_white"},
    {"b_black", "b_gamma", "b_white"},
};

// The catalogue entries of the curve of `channel`; any other number is blue.
inline const CorrectionField& ChannelCurveField(int channel, int control)
{
    const int row = channel == CURVE_RED ? 0 : channel == CURVE_GREEN ? 1 : 2;
    return *FindField(kBaseGroup, kChannelCurveKeys[row][control]);
}

// The curve of `channel` (CURVE_RED..CURVE_BLUE) as the record holds it.
inline ChannelCurve GetChannelCurve(const tagBASECOLORCORRINFO& b, int channel)
{
    return {GetFieldValue(&b, ChannelCurveField(channel, 0)),
            GetFieldValue(&b, ChannelCurveField(channel, 1)),
            GetFieldValue(&b, ChannelCurveField(channel, 2))};
}

// Stores the curve of `channel`, each value limited to the int16 range.
inline void SetChannelCurve(tagBASECOLORCORRINFO& b, int channel, const ChannelCurve& c)
{
    SetFieldValue(&b, ChannelCurveField(channel, 0), ToInt16Field(c.black));
    SetFieldValue(&b, ChannelCurveField(channel, 1), ToInt16Field(c.gamma));
    SetFieldValue(&b, ChannelCurveField(channel, 2), ToInt16Field(c.white));
}

// Sets all nine curve controls to 0 (neutral); nothing else changes.
inline void ClearCurveFields(tagBASECOLORCORRINFO& b)
{
    for (int channel = CURVE_RED; channel <= CURVE_BLUE; ++channel)
        SetChannelCurve(b, channel, ChannelCurve{});
}

// The value of `channel` for the colour (y, u, v) (see RedValue).
inline int ChannelValue(int channel, int y, int u, int v)
{
    return channel == CURVE_RED     ? RedValue(y, u, v)
           : channel == CURVE_GREEN ? GreenValue(y, u, v)
                                    : BlueValue(y, u, v);
}

// Luma minus the value of `channel` for chroma (u, v) (see RedOffset).
inline int ChannelOffset(int channel, int u, int v)
{
    return channel == CURVE_RED     ? RedOffset(u, v)
           : channel == CURVE_GREEN ? GreenOffset(u, v)
                                    : BlueOffset(u, v);
}

// The gamma control, clamped to -255..255, of the exponent
// ln(value / 256) / ln(base / 256) that carries `base` onto `value` on the
// 8-bit scale. 0 (neutral) when either is 0 or below or the exponent has no
// value (base 256).
inline int GammaBetween(int value, int base)
{
    if (value <= 0 || base <= 0)
        return 0;
    const double g = std::log(value / 256.0) / std::log(base / 256.0);
    return ClampCurveControl(GammaControlValue(g));
}

} // namespace colorcorrect
