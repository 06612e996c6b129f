// Tone balance: red, green and blue curves that give a picked source point
// the colour of a picked reference point.

#include "../host/win_types.h"
#include "../viewer/color_correction_viewer.h"
#include "channel_curve_fit.h"
#include "curve_fields.h"

using colorcorrect::ChannelCurve;
using colorcorrect::ChannelOffset;
using colorcorrect::ChannelValue;
using colorcorrect::ClampCurveControl;
using colorcorrect::CURVE_BLUE;
using colorcorrect::CURVE_RED;
using colorcorrect::GetChannelCurve;
using colorcorrect::ScaleChroma;
using colorcorrect::SetChannelCurve;

int CColorCorrectionViewer::ToneBalance_1pt(tagCOLORCORRINFO& cc, int xs, int ys, int xr, int yr,
                                            unsigned int mode)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    if (static_cast<const BYTE*>(m_dibSource) == nullptr ||
        static_cast<const BYTE*>(m_dibReference) == nullptr)
        return 0;
    colorcorrect::ClearCurveFields(cc.Base);
    int Ys = 0, Us = 0, Vs = 0, Yr = 0, Ur = 0, Vr = 0;
    GetPixelAveraged(m_dibSource, xs, ys, Ys, Us, Vs);
    GetPixelAveraged(m_dibReference, xr, yr, Yr, Ur, Vr);
    if (mode != 0 && mode != 2 && mode != 3)
        return 1; // only the clearing
    if (Ys <= 0 || Yr <= 0)
        return 1; // no luma to scale by: leave the curves neutral

    // Each sample's chroma as it would be at full luma (mode 0) or mid luma.
    const double level = mode == 0 ? 255.0 : 128.0;
    const double fs = level / Ys, fr = level / Yr;
    const int us = ScaleChroma(Us, fs), vs = ScaleChroma(Vs, fs);
    const int ur = ScaleChroma(Ur, fr), vr = ScaleChroma(Vr, fr);

    for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
        ChannelCurve c = GetChannelCurve(cc.Base, ch);
        if (mode == 2) {
            c.gamma = colorcorrect::GammaBetween(ChannelValue(ch, 128, us, vs),
                                                 ChannelValue(ch, 128, ur, vr));
        } else {
            // The offsets of the chroma difference, source minus reference,
            // so that identical points ask for no change.
            c.white = ClampCurveControl(ChannelOffset(ch, us - ur, vs - vr));
            if (mode == 3)
                c.black = c.white;
        }
        SetChannelCurve(cc.Base, ch, c);
    }
    return 1;
}
