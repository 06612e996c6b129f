// Colour balances: red, green and blue curves, starting from the current
// correction, that carry picked source colours onto picked reference colours.

#include <utility>

#include "../host/win_types.h"
#include "../viewer/color_correction_viewer.h"
#include "channel_curve_fit.h"
#include "curve_fields.h"

using colorcorrect::ChannelCurve;
using colorcorrect::ChannelValue;
using colorcorrect::CURVE_BLUE;
using colorcorrect::CURVE_RED;
using colorcorrect::GetChannelCurve;
using colorcorrect::SetChannelCurve;

namespace {

// Levels at which the present curve's effect is kept, and the three luma
// zones of the picked reference point that each replaces (0..85, 86..170,
// 171..255).
constexpr int ANCHORS[3] = {42, 128, 213};

} // namespace

int CColorCorrectionViewer::ColorBalance_1pt(tagCOLORCORRINFO& cc, int xs, int ys, int xr, int yr)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    if (static_cast<const BYTE*>(m_dibSource) == nullptr ||
        static_cast<const BYTE*>(m_dibReference) == nullptr)
        return 0;
    cc = m_ccCurrent;

    int Ys = 0, Us = 0, Vs = 0, Yr = 0, Ur = 0, Vr = 0;
    GetPixelAveraged(m_dibSource, xs, ys, Ys, Us, Vs);
    GetPixelAveraged(m_dibReference, xr, yr, Yr, Ur, Vr);
    int zone = 3 * Yr / 256;
    zone = zone < 0 ? 0 : (zone > 2 ? 2 : zone);

    for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
        const ChannelCurve present = GetChannelCurve(cc.Base, ch);
        int value[3], diff[3];
        for (int i = 0; i < 3; ++i) {
            value[i] = ANCHORS[i];
            diff[i] = colorcorrect::ApplyChannelCurve(ANCHORS[i], present.black, present.gamma,
                                                      present.white);
        }
        const int cs = ChannelValue(ch, Ys, Us, Vs);
        const int cr = ChannelValue(ch, Yr, Ur, Vr);
        value[zone] = cs;
        diff[zone] = cr - cs;
        ChannelCurve fitted;
        colorcorrect::FitChannelCurve(value[0], value[1], value[2], diff[0], diff[1], diff[2],
                                      fitted.black, fitted.gamma, fitted.white);
        SetChannelCurve(cc.Base, ch, fitted);
    }
    return 1;
}

int CColorCorrectionViewer::ColorBalance_3pt(tagCOLORCORRINFO& cc, int* const xs, int* const ys,
                                             int* const xr, int* const yr)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    if (xs == nullptr || ys == nullptr || xr == nullptr || yr == nullptr)
        return 0;
    if (static_cast<const BYTE*>(m_dibSource) == nullptr ||
        static_cast<const BYTE*>(m_dibReference) == nullptr)
        return 0;
    cc = m_ccCurrent;

    struct Sample {
        int Y = 0, U = 0, V = 0;
    } src[3], ref[3];
    for (int i = 0; i < 3; ++i) {
        GetPixelAveraged(m_dibSource, xs[i], ys[i], src[i].Y, src[i].U, src[i].V);
        GetPixelAveraged(m_dibReference, xr[i], yr[i], ref[i].Y, ref[i].U, ref[i].V);
    }

    for (int ch = CURVE_RED; ch <= CURVE_BLUE; ++ch) {
        struct Pair {
            int s, r; // source and reference value of the channel
        } pair[3];
        for (int i = 0; i < 3; ++i)
            pair[i] = {ChannelValue(ch, src[i].Y, src[i].U, src[i].V),
                       ChannelValue(ch, ref[i].Y, ref[i].U, ref[i].V)};
        // By reference value, ascending; equal pairs keep their order.
        const auto order = [&pair](int a, int b) {
            if (pair[b].r < pair[a].r)
                std::swap(pair[a], pair[b]);
        };
        order(0, 1);
        order(1, 2);
        order(0, 1);
        ChannelCurve fitted;
        colorcorrect::FitChannelCurve(pair[0].s, pair[1].s, pair[2].s, pair[0].r - pair[0].s,
                                      pair[1].r - pair[1].s, pair[2].r - pair[2].s, fitted.black,
                                      fitted.gamma, fitted.white);
        SetChannelCurve(cc.Base, ch, fitted);
    }
    return 1;
}
