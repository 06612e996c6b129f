#pragma once
// The engine's protected members opened to the tests; records and pictures
// the engine tests share.

#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/engine/pixel_stages.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "support/yuv_picture.h"

namespace colorcorrect::test {

class FilterAccess : public CBaseColorCorrectionFilter {
public:
    using CBaseColorCorrectionFilter::BuildSegmentIndex_match;
    using CBaseColorCorrectionFilter::BuildSegmentIndex_six;
    using CBaseColorCorrectionFilter::m_bIsolate;
    using CBaseColorCorrectionFilter::m_pMatchIndex;
    using CBaseColorCorrectionFilter::m_pSixIndex;

    // As the display filter's setters do: a changed isolate setting forces
    // the next full set-up to rebuild the match index.
    void SetIsolate(uint32_t vector, uint32_t type)
    {
        if (vector != m_uIsolateVector || type != m_uIsolateType)
            m_dwMatchCRC = 0xFFFFFFFFu;
        m_uIsolateVector = vector;
        m_uIsolateType = type;
    }

    // Index entries of the chroma pair (u, v), both in -128..127.
    uint16_t MatchEntry(int u, int v) const { return m_pMatchIndex[SegmentIndexPosition(u, v)]; }
    uint16_t SixEntry(int u, int v) const { return m_pSixIndex[SegmentIndexPosition(u, v)]; }
};

// A default record (Init(564)) with the given groups active.
inline tagCOLORCORRINFO DefaultRecord(DWORD flags = 0)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = flags;
    return cc;
}

// A match vector selecting the colour (u, v) with the given half-widths and
// softness, and no correction of its own.
inline tagMATCHVECTOR MatchVector(int u, int v, int hueWidth, int satWidth, int hueSoft,
                                  int satSoft)
{
    tagMATCHVECTOR mv;
    mv.Init();
    mv.cU = static_cast<int8_t>(u);
    mv.cV = static_cast<int8_t>(v);
    mv.byHueWidth = static_cast<uint8_t>(hueWidth);
    mv.bySatWidth = static_cast<uint8_t>(satWidth);
    mv.byHueSoft = static_cast<uint8_t>(hueSoft);
    mv.bySatSoft = static_cast<uint8_t>(satSoft);
    return mv;
}

// Every primary curve bent, hue and saturation beyond their ranges.
inline tagCOLORCORRINFO PrimaryWithCurves(DWORD extra = 0)
{
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY | extra);
    tagBASECOLORCORRINFO& b = cc.Base;
    b.sYWhite = -20, b.sYGamma = 70, b.sYBlack = 12;
    b.sHue = -300, b.sSat = 400; // beyond their ranges: clamped
    b.sRWhite = 30, b.sRGamma = -90, b.sRBlack = -15, b.sGGamma = 40, b.sBWhite = -60, b.sBBlack = 25;
    return cc;
}

// Every stage: six vectors with differing luma curves, four match vectors of
// every kind of edge, legal clipping with soft chroma knees.
inline tagCOLORCORRINFO EveryStage(DWORD flags)
{
    tagCOLORCORRINFO cc = PrimaryWithCurves();
    cc.dwFlags = flags;
    cc.Base.wRangeFlags = RANGE_LEGAL, cc.Base.bySoftC = 90;
    for (int i = 0; i < 6; ++i) {
        cc.Vector6.sHue[i] = static_cast<int16_t>(20 * i - 50);
        cc.Vector6.sSat[i] = static_cast<int16_t>(40 - 25 * i);
        cc.Vector6.sBlack[i] = static_cast<int16_t>(5 * i);
    }
    tagMATCHVECTOR* v = cc.Match.Vector;
    cc.Match.dwCount = 4;
    v[0].sHue = 15, v[0].sVOffset = 9;
    v[1] = MatchVector(40, -30, 30, 25, 120, 100);
    v[1].byY = 90, v[1].byYRange = 60, v[1].byYSoft = 200, v[1].sSat = 90; // wide luma edges
    v[2] = MatchVector(-50, 10, 20, 30, 0, 0);
    v[2].sGamma = -60, v[2].sUOffset = -40;
    v[3] = MatchVector(-20, -60, 40, 20, 255, 255);
    v[3].sHue = -100;
    return cc;
}

// A 256 x 256 picture holding every chroma pair once (U along the row, V by
// row) at one luma.
inline YuvPicture ChromaPlane(int bits, int luma, uint32_t flags = 0, BYTE alpha = 255)
{
    YuvPicture p = MakeYuvPicture(256, 256, bits, flags, alpha);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) {
            BYTE* px = p.Pixel(u, v);
            px[0] = static_cast<BYTE>(luma);
            px[1] = static_cast<BYTE>(u);
            px[2] = static_cast<BYTE>(v);
        }
    return p;
}

// One 24-bit pixel (Y, U + 128, V + 128) corrected in place.
inline std::array<int, 3> OnePixel(CBaseColorCorrectionFilter& f, std::array<int, 3> in)
{
    YuvPicture p = MakeYuvPicture(1, 1, 24);
    for (int i = 0; i < 3; ++i)
        p.pixels[i] = static_cast<BYTE>(in[i]);
    EXPECT_TRUE(f.Process(&p.header, p.pixels.data(), p.pixels.data()));
    return {p.pixels[0], p.pixels[1], p.pixels[2]};
}

// The milliseconds of a captured timing line (its first number).
inline unsigned long PrintedMs(const std::string& text)
{
    const size_t at = text.find_first_of("0123456789");
    return at == std::string::npos ? ~0ul : std::stoul(text.substr(at));
}

} // namespace colorcorrect::test
