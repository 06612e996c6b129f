// Gray balances: red, green and blue curves that make picked points of the
// source neutral.

#include <utility>

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

int CColorCorrectionViewer::GrayBalance_1pt(tagCOLORCORRINFO& cc, int x, int y, unsigned int mode)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    colorcorrect::ClearCurveFields(cc.Base);
    int Y = 0, U = 0, V = 0;
    GetPixelAveraged(m_dibSource, x, y, Y, U, V); // a failed sample reads (0, 0, 0)

    switch (mode) {
    case 0:   // white: the offsets of the chroma as it would be at full luma
    case 3: { // white and black alike: the offsets at mid luma
        if (Y <= 0)
            break; // no luma to scale by: leave the curves neutral
        const double f = (mode == 0 ? 256.0 : 128.0) / Y;
        const int u = ScaleChroma(U, f), v = ScaleChroma(V, f);
        for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
            ChannelCurve c = GetChannelCurve(cc.Base, ch);
            c.white = ClampCurveControl(ChannelOffset(ch, u, v));
            if (mode == 3)
                c.black = c.white;
            SetChannelCurve(cc.Base, ch, c);
        }
        break;
    }
    case 1: { // black: the offsets of the chroma as it would be at zero luma
        const double f = 256.0 / (256 - Y);
        const int u = ScaleChroma(U, f), v = ScaleChroma(V, f);
        for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
            ChannelCurve c = GetChannelCurve(cc.Base, ch);
            c.black = ClampCurveControl(ChannelOffset(ch, u, v));
            SetChannelCurve(cc.Base, ch, c);
        }
        break;
    }
    case 2: { // gamma: the power that carries each channel onto the luma at mid level
        if (Y <= 0)
            break;
        const double f = 128.0 / Y;
        // Scaled like the chroma, so mostly 128 but 127 where Y * (128 / Y)
        // falls just short (Y = 49, for instance).
        const int yScaled = colorcorrect::LimitedTrunc(Y * f, 0.0, 255.0);
        const int u = ScaleChroma(U, f), v = ScaleChroma(V, f);
        for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
            ChannelCurve c = GetChannelCurve(cc.Base, ch);
            c.gamma = colorcorrect::GammaBetween(ChannelValue(ch, yScaled, u, v), yScaled);
            SetChannelCurve(cc.Base, ch, c);
        }
        break;
    }
    default:
        break; // only the clearing
    }
    return 1;
}

int CColorCorrectionViewer::GrayBalance_2pt(tagCOLORCORRINFO& cc, int x1, int y1, int x2, int y2)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    colorcorrect::ClearCurveFields(cc.Base);
    int Y1 = 0, U1 = 0, V1 = 0, Y2 = 0, U2 = 0, V2 = 0;
    GetPixelAveraged(m_dibSource, x1, y1, Y1, U1, V1);
    GetPixelAveraged(m_dibSource, x2, y2, Y2, U2, V2);

    // With equal lumas the second point is the dark one.
    const bool firstIsDark = Y1 < Y2;
    const int darkU = firstIsDark ? U1 : U2, darkV = firstIsDark ? V1 : V2;
    const int brightU = firstIsDark ? U2 : U1, brightV = firstIsDark ? V2 : V1;
    for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
        ChannelCurve c;
        c.black = ClampCurveControl(ChannelOffset(ch, darkU, darkV));
        c.white = ClampCurveControl(ChannelOffset(ch, brightU, brightV));
        SetChannelCurve(cc.Base, ch, c);
    }
    return 1;
}

int CColorCorrectionViewer::GrayBalance_3pt(tagCOLORCORRINFO& cc, int x1, int y1, int x2, int y2,
                                            int x3, int y3)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    colorcorrect::ClearCurveFields(cc.Base);
    struct Point {
        int Y = 0, U = 0, V = 0;
    } p[3];
    GetPixelAveraged(m_dibSource, x1, y1, p[0].Y, p[0].U, p[0].V);
    GetPixelAveraged(m_dibSource, x2, y2, p[1].Y, p[1].U, p[1].V);
    GetPixelAveraged(m_dibSource, x3, y3, p[2].Y, p[2].U, p[2].V);

    // Darkest first; points of equal luma keep their argument order.
    const auto order = [&p](int a, int b) {
        if (p[a].Y > p[b].Y)
            std::swap(p[a], p[b]);
    };
    order(0, 1);
    order(1, 2);
    order(0, 1);

    for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
        int value[3], offset[3];
        for (int i = 0; i < 3; ++i) {
            value[i] = ChannelValue(ch, p[i].Y, p[i].U, p[i].V);
            offset[i] = ChannelOffset(ch, p[i].U, p[i].V);
        }
        ChannelCurve c;
        colorcorrect::FitChannelCurve(value[0], value[1], value[2], offset[0], offset[1],
                                      offset[2], c.black, c.gamma, c.white);
        SetChannelCurve(cc.Base, ch, c);
    }
    return 1;
}
