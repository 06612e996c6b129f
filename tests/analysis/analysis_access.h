#pragma once
// Opens the viewer's analysis helpers and the state they read to the tests,
// and builds the pictures they sample.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace colorcorrect::test {

class AnalysisAccess : public CColorCorrectionViewer {
public:
    using CColorCorrectionViewer::ApplyChannelCurve;
    using CColorCorrectionViewer::FitChannelCurve;
    using CColorCorrectionViewer::GetPixelAveraged;

    using CColorCorrectionViewer::m_ccCurrent;
    using CColorCorrectionViewer::m_dibReference;
    using CColorCorrectionViewer::m_dibSource;
};

// A 24-bit packed YUV picture of w x h pixels, every pixel (y, u + 128, v + 128).
inline CVoraDib FlatYuv(int w, int h, int y, int u, int v)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(w, h, 24, 0), 1);
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    BYTE* pixels = dib;
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            BYTE* p = pixels + static_cast<size_t>(row) * line + static_cast<size_t>(x) * step;
            p[0] = static_cast<BYTE>(y);
            p[1] = static_cast<BYTE>(u + 128);
            p[2] = static_cast<BYTE>(v + 128);
        }
    return dib;
}

// The bytes of the pixel at column x of picture line `line` (from the top).
inline BYTE* PixelAtLine(CVoraDib& dib, int x, int line)
{
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    BYTE* pixels = dib;
    const int row = dib.GetHeight() - 1 - line;
    return pixels + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * step;
}

// Sets the pixels of the 3 x 3 window around (x, line) (inside the picture)
// to (y, u + 128, v + 128).
inline void PaintPatch(CVoraDib& dib, int x, int line, int y, int u, int v)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            BYTE* p = PixelAtLine(dib, x + dx, line + dy);
            p[0] = static_cast<BYTE>(y);
            p[1] = static_cast<BYTE>(u + 128);
            p[2] = static_cast<BYTE>(v + 128);
        }
}

// A record of the right size with every curve field set to `value`.
inline tagCOLORCORRINFO CurvesSetTo(int value)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    const auto v = static_cast<int16_t>(value);
    cc.Base.sRWhite = cc.Base.sRGamma = cc.Base.sRBlack = v;
    cc.Base.sGWhite = cc.Base.sGGamma = cc.Base.sGBlack = v;
    cc.Base.sBWhite = cc.Base.sBGamma = cc.Base.sBBlack = v;
    return cc;
}

// The nine curve fields in record order: R white, gamma, black, G ..., B ....
struct Curves {
    int f[9];
};

inline Curves CurvesOf(const tagCOLORCORRINFO& cc)
{
    const tagBASECOLORCORRINFO& b = cc.Base;
    return Curves{{b.sRWhite, b.sRGamma, b.sRBlack, b.sGWhite, b.sGGamma, b.sGBlack, b.sBWhite,
                   b.sBGamma, b.sBBlack}};
}

// Every curve field lies within -limit..limit.
inline ::testing::AssertionResult CurvesWithin(const tagCOLORCORRINFO& cc, int limit)
{
    static const char* const names[9] = {"sRWhite", "sRGamma", "sRBlack", "sGWhite", "sGGamma",
                                         "sGBlack", "sBWhite", "sBGamma", "sBBlack"};
    const Curves c = CurvesOf(cc);
    for (int i = 0; i < 9; ++i)
        if (c.f[i] < -limit || c.f[i] > limit)
            return ::testing::AssertionFailure()
                   << names[i] << " is " << c.f[i] << ", beyond +-" << limit;
    return ::testing::AssertionSuccess();
}

// Corrects dib in place with cc, its primary group switched on. 1 on success.
inline int ApplyCorrection(CVoraDib& dib, tagCOLORCORRINFO cc)
{
    cc.dwFlags |= CC_PRIMARY;
    CBaseColorCorrectionFilter filter;
    if (!filter.SetupFilter(cc))
        return 0;
    tagDIBINFO* header = dib;
    BYTE* pixels = dib;
    if (header == nullptr || pixels == nullptr)
        return 0;
    return filter.Process(&header->bmiHeader, pixels, pixels) ? 1 : 0;
}

// A sample of (x, y) (3 x 3 average) as the analyses see it.
struct YuvSample {
    int Y = 0, U = 0, V = 0;
};

inline YuvSample SampleOf(const CVoraDib& dib, int x, int y)
{
    YuvSample s;
    AnalysisAccess::GetPixelAveraged(dib, x, y, s.Y, s.U, s.V);
    return s;
}

} // namespace colorcorrect::test
