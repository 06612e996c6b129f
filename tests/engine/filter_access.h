#pragma once
// Opens the engine's protected builders, stages and members to the tests.

#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/engine/pixel_stages.h"

#include <cstdint>

namespace colorcorrect::test {

class FilterAccess : public CBaseColorCorrectionFilter {
public:
    using CBaseColorCorrectionFilter::BuildClippingLUT;
    using CBaseColorCorrectionFilter::BuildCosSinLUT;
    using CBaseColorCorrectionFilter::BuildRGBLUT;
    using CBaseColorCorrectionFilter::BuildSegmentIndex_match;
    using CBaseColorCorrectionFilter::BuildSegmentIndex_six;
    using CBaseColorCorrectionFilter::BuildYMatchLUT;

    using CBaseColorCorrectionFilter::ClampRange;
    using CBaseColorCorrectionFilter::MatchVectorStage;
    using CBaseColorCorrectionFilter::PrimaryStage;
    using CBaseColorCorrectionFilter::PrimaryToRGB;
    using CBaseColorCorrectionFilter::ReadPixel;
    using CBaseColorCorrectionFilter::ReadPremultipliedPixel;
    using CBaseColorCorrectionFilter::RGBToYUV;
    using CBaseColorCorrectionFilter::SixVectorStage;
    using CBaseColorCorrectionFilter::TablesChanged;
    using CBaseColorCorrectionFilter::WritePixel;
    using CBaseColorCorrectionFilter::WritePremultipliedPixel;
    using CBaseColorCorrectionFilter::YUVToRGB;

    using CBaseColorCorrectionFilter::m_bChromaReduced;
    using CBaseColorCorrectionFilter::m_bIsolate;
    using CBaseColorCorrectionFilter::m_bLegalY;
    using CBaseColorCorrectionFilter::m_bMatchVector;
    using CBaseColorCorrectionFilter::m_BLUT;
    using CBaseColorCorrectionFilter::m_bPrimary;
    using CBaseColorCorrectionFilter::m_bSixVector;
    using CBaseColorCorrectionFilter::m_bVector;
    using CBaseColorCorrectionFilter::m_ChromaClip;
    using CBaseColorCorrectionFilter::m_CosLUT;
    using CBaseColorCorrectionFilter::m_dwMatchCRC;
    using CBaseColorCorrectionFilter::m_GLUT;
    using CBaseColorCorrectionFilter::m_LumaClip;
    using CBaseColorCorrectionFilter::m_MatchCosLUT;
    using CBaseColorCorrectionFilter::m_MatchSatLUT;
    using CBaseColorCorrectionFilter::m_MatchSinLUT;
    using CBaseColorCorrectionFilter::m_MatchUOffset;
    using CBaseColorCorrectionFilter::m_MatchVOffset;
    using CBaseColorCorrectionFilter::m_MatchYLUT;
    using CBaseColorCorrectionFilter::m_pMatchIndex;
    using CBaseColorCorrectionFilter::m_pSixIndex;
    using CBaseColorCorrectionFilter::m_RLUT;
    using CBaseColorCorrectionFilter::m_SatLUT;
    using CBaseColorCorrectionFilter::m_SinLUT;
    using CBaseColorCorrectionFilter::m_SixCosLUT;
    using CBaseColorCorrectionFilter::m_SixSatLUT;
    using CBaseColorCorrectionFilter::m_SixSinLUT;
    using CBaseColorCorrectionFilter::m_SixYLUT;
    using CBaseColorCorrectionFilter::m_uIsolateType;
    using CBaseColorCorrectionFilter::m_uIsolateVector;
    using CBaseColorCorrectionFilter::m_YLUT;

    // As the display filter's setters do: a changed isolate setting forces
    // the next full set-up to rebuild the match index.
    void SetIsolate(uint32_t vector, uint32_t type)
    {
        if (vector != m_uIsolateVector || type != m_uIsolateType)
            m_dwMatchCRC = 0xFFFFFFFFu;
        m_uIsolateVector = vector;
        m_uIsolateType = type;
    }

    // Match index entry of the chroma pair (u, v), both in -128..127.
    uint16_t MatchEntry(int u, int v) const { return m_pMatchIndex[SegmentIndexPosition(u, v)]; }
    uint16_t SixEntry(int u, int v) const { return m_pSixIndex[SegmentIndexPosition(u, v)]; }

    // Entry of a 1024-entry table for the input x (-512..511).
    int Rgb(const int16_t* lut, int x) const { return lut[x + 512]; }
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

} // namespace colorcorrect::test
