#pragma once
// The per-pixel stages of the correction, written once and shared by every
// processing path (frames, previews, scopes, real-time display). Integer
// arithmetic and table look-ups only. Internal: included by the sources that
// process pixels (and by tests), never by a public header, so it is not
// installed.
//
// Right shifts of negative values are arithmetic (floor division by a power
// of two), which the fixed-point formulas rely on.

#include "base_color_correction_filter.h"
#include "segment_index.h"
#include "../host/yuv_rgb.h"

namespace colorcorrect::stages {

inline int ClampLuma(int y)
{
    return y < 0 ? 0 : (y > 255 ? 255 : y);
}

inline int ClampChroma(int c)
{
    return c < -127 ? -127 : (c > 127 ? 127 : c);
}

// Three values weighted by an alpha of 0..255: (a * x) >> 8 each, so that 0
// clears them and 255 keeps them as they are.
inline void WeightByAlpha(int a, int& x0, int& x1, int& x2)
{
    if (a != 255) {
        x0 = (a * x0) >> 8;
        x1 = (a * x1) >> 8;
        x2 = (a * x2) >> 8;
    }
}

// Index of a signed chroma value in a 256-entry chroma table.
inline unsigned ChromaByte(int c)
{
    return static_cast<unsigned>(c) & 0xFFu;
}

} // namespace colorcorrect::stages

inline void CBaseColorCorrectionFilter::ReadPixel(const BYTE* p, int& y, int& u, int& v)
{
    y = p[0];
    u = p[1] - 128;
    v = p[2] - 128;
}

inline int CBaseColorCorrectionFilter::ReadPremultipliedPixel(const BYTE* p, int& y, int& u,
                                                             int& v)
{
    using namespace colorcorrect::stages;
    const int a = p[3];
    if (a == 0) {
        y = u = v = 0;
        return 0;
    }
    y = ClampLuma((p[0] * 256) / a);
    u = ClampChroma(((p[1] - 128) * 256) / a);
    v = ClampChroma(((p[2] - 128) * 256) / a);
    return a;
}

inline void CBaseColorCorrectionFilter::YUVToRGB(int y, int u, int v, int& r, int& g, int& b)
{
    const colorcorrect::RgbValue c = colorcorrect::YuvToRgb(y, u, v);
    r = c.r;
    g = c.g;
    b = c.b;
}

inline void CBaseColorCorrectionFilter::RGBToYUV(int r, int g, int b, int& y, int& u, int& v)
{
    const colorcorrect::YuvValue c = colorcorrect::RgbToYuv(r, g, b);
    y = c.y;
    u = c.u;
    v = c.v;
}

inline void CBaseColorCorrectionFilter::PrimaryToRGB(int y, int u, int v, int& r, int& g,
                                                    int& b) const
{
    using namespace colorcorrect::stages;
    const int y1 = m_YLUT[y];
    const int u1 = ClampChroma(m_CosLUT[ChromaByte(u)] + m_SinLUT[ChromaByte(v)]);
    const int v1 = ClampChroma(m_CosLUT[ChromaByte(v)] - m_SinLUT[ChromaByte(u)]);
    // Only the low byte of a clamped saturation entry is significant; it is signed.
    const int us = static_cast<int8_t>(m_SatLUT[ChromaByte(u1)] & 0xFFu);
    const int vs = static_cast<int8_t>(m_SatLUT[ChromaByte(v1)] & 0xFFu);
    int r1, g1, b1;
    YUVToRGB(y1, us, vs, r1, g1, b1);
    r = m_RLUT[r1 + 512];
    g = m_GLUT[g1 + 512];
    b = m_BLUT[b1 + 512];
}

inline void CBaseColorCorrectionFilter::PrimaryStage(int& y, int& u, int& v) const
{
    int r, g, b;
    PrimaryToRGB(y, u, v, r, g, b);
    RGBToYUV(r, g, b, y, u, v);
}

inline void CBaseColorCorrectionFilter::ClampRange(int& y, int& u, int& v)
{
    using namespace colorcorrect::stages;
    y = ClampLuma(y);
    u = ClampChroma(u);
    v = ClampChroma(v);
}

inline void CBaseColorCorrectionFilter::SixVectorStage(int& y, int& u, int& v) const
{
    using namespace colorcorrect::stages;
    const unsigned e = m_pSixIndex[colorcorrect::SegmentIndexPosition(u, v)];
    const unsigned a = e & 0xFu;
    const unsigned b = (e >> 4) & 0xFu;
    const int w = static_cast<int>(e >> 8);
    const int wa = 256 - w;
    const unsigned iu = ChromaByte(u);
    const unsigned iv = ChromaByte(v);

    y = (m_SixYLUT[a][y] * wa + m_SixYLUT[b][y] * w) >> 8;

    const int hu = ClampChroma(((m_SixCosLUT[a][iu] + m_SixSinLUT[a][iv]) * wa +
                                (m_SixCosLUT[b][iu] + m_SixSinLUT[b][iv]) * w) >> 8);
    const int hv = ClampChroma(((m_SixCosLUT[a][iv] - m_SixSinLUT[a][iu]) * wa +
                                (m_SixCosLUT[b][iv] - m_SixSinLUT[b][iu]) * w) >> 8);

    u = ClampChroma((m_SixSatLUT[a][ChromaByte(hu)] * wa + m_SixSatLUT[b][ChromaByte(hu)] * w) >>
                    8);
    v = ClampChroma((m_SixSatLUT[a][ChromaByte(hv)] * wa + m_SixSatLUT[b][ChromaByte(hv)] * w) >>
                    8);
}

inline void CBaseColorCorrectionFilter::MatchBackgroundChroma(int& u, int& v) const
{
    using namespace colorcorrect::stages;
    const unsigned iu = ChromaByte(u);
    const unsigned iv = ChromaByte(v);
    const int hu = ClampChroma(m_MatchCosLUT[0][iu] + m_MatchSinLUT[0][iv]);
    const int hv = ClampChroma(m_MatchCosLUT[0][iv] - m_MatchSinLUT[0][iu]);
    u = ClampChroma(m_MatchSatLUT[0][ChromaByte(hu)] + m_MatchUOffset[0]);
    v = ClampChroma(m_MatchSatLUT[0][ChromaByte(hv)] + m_MatchVOffset[0]);
}

inline void CBaseColorCorrectionFilter::MatchVectorChroma(int& u, int& v, unsigned k,
                                                         int wBack) const
{
    using namespace colorcorrect::stages;
    const int wVec = 256 - wBack;
    const unsigned iu = ChromaByte(u);
    const unsigned iv = ChromaByte(v);

    const int hu = ClampChroma(((m_MatchCosLUT[0][iu] + m_MatchSinLUT[0][iv]) * wBack +
                                (m_MatchCosLUT[k][iu] + m_MatchSinLUT[k][iv]) * wVec) >> 8);
    const int hv = ClampChroma(((m_MatchCosLUT[0][iv] - m_MatchSinLUT[0][iu]) * wBack +
                                (m_MatchCosLUT[k][iv] - m_MatchSinLUT[k][iu]) * wVec) >> 8);

    // The background share keeps the rotated chroma: vector 0's saturation
    // and offsets do not apply to a vector's pixels.
    u = ClampChroma(((m_MatchSatLUT[k][ChromaByte(hu)] + m_MatchUOffset[k]) * wVec + hu * wBack) >>
                    8);
    v = ClampChroma(((m_MatchSatLUT[k][ChromaByte(hv)] + m_MatchVOffset[k]) * wVec + hv * wBack) >>
                    8);
}

inline int CBaseColorCorrectionFilter::MatchVectorStage(int& y, int& u, int& v) const
{
    const unsigned e = m_pMatchIndex[colorcorrect::SegmentIndexPosition(u, v)];

    if (e == 0) {
        // Background: vector 0's whole correction.
        y = m_MatchYLUT[0][y] & 0xFF;
        MatchBackgroundChroma(u, v);
        return 0;
    }

    const unsigned k = e & 0xFu;
    const unsigned l = m_MatchYLUT[k][y];
    if (l == 0)
        return -1; // luma outside the vector's window: no match correction

    // The background's share: the larger of the chroma and the luma edge.
    const int wBack = static_cast<int>((e >> 8) > (l >> 8) ? (e >> 8) : (l >> 8));
    y = ((m_MatchYLUT[0][y] & 0xFF) * wBack + static_cast<int>(l & 0xFFu) * (256 - wBack)) >> 8;
    MatchVectorChroma(u, v, k, wBack);
    return static_cast<int>(k);
}

inline CBaseColorCorrectionFilter::StageSet CBaseColorCorrectionFilter::ActiveStages() const
{
    return {m_bPrimary != 0, m_bVector != 0, m_bSixVector != 0 && m_pSixIndex != nullptr,
            m_bMatchVector != 0 && m_pMatchIndex != nullptr};
}

template <typename MatchStage>
inline int CBaseColorCorrectionFilter::RunStages(int& y, int& u, int& v, const StageSet& s,
                                                 MatchStage&& matchStage) const
{
    if (s.primary)
        PrimaryStage(y, u, v);
    if (!s.vector)
        return 0;
    ClampRange(y, u, v);
    if (s.six)
        SixVectorStage(y, u, v);
    return s.match ? matchStage(y, u, v) : 0;
}

inline void CBaseColorCorrectionFilter::WritePixel(BYTE* p, int y, int u, int v) const
{
    p[0] = static_cast<BYTE>(m_LumaClip[y + 512]);
    p[1] = static_cast<BYTE>(m_ChromaClip[u + 512] + 128);
    p[2] = static_cast<BYTE>(m_ChromaClip[v + 512] + 128);
}

inline void CBaseColorCorrectionFilter::WritePremultipliedPixel(BYTE* p, int y, int u, int v,
                                                               int a) const
{
    p[0] = static_cast<BYTE>((m_LumaClip[y + 512] * a) >> 8);
    p[1] = static_cast<BYTE>(((m_ChromaClip[u + 512] * a) >> 8) + 128);
    p[2] = static_cast<BYTE>(((m_ChromaClip[v + 512] * a) >> 8) + 128);
}
