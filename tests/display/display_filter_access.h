#pragma once
// Opens the display filter's protected builders and members to the tests.

#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/display/isolation_stage.h"

#include <cstdint>

namespace colorcorrect::test {

class DisplayFilterAccess : public CColorCorrectionFilter {
public:
    using CColorCorrectionFilter::BuildILUT;
    using CColorCorrectionFilter::BuildRGBLUT_RT;
    using CColorCorrectionFilter::IsolationStage;

    using CColorCorrectionFilter::m_afRot;
    using CColorCorrectionFilter::m_aAngles;
    using CColorCorrectionFilter::m_HistoBack;
    using CColorCorrectionFilter::m_ILUT;
    using CColorCorrectionFilter::m_IsolateParam;
    using CColorCorrectionFilter::m_pDisplayBuffer;
    using CColorCorrectionFilter::m_uChannel;
    using CColorCorrectionFilter::m_uDisplayField;
    using CColorCorrectionFilter::m_uDisplayMode;

    using CColorCorrectionFilter::m_BLUT;
    using CColorCorrectionFilter::m_CosLUT;
    using CColorCorrectionFilter::m_GLUT;
    using CColorCorrectionFilter::m_RLUT;
    using CColorCorrectionFilter::m_SatLUT;
    using CColorCorrectionFilter::m_SinLUT;
    using CColorCorrectionFilter::m_bIsolate;
    using CColorCorrectionFilter::m_bMatchVector;
    using CColorCorrectionFilter::m_bPrimary;
    using CColorCorrectionFilter::m_bSixVector;
    using CColorCorrectionFilter::m_bVector;
    using CColorCorrectionFilter::m_ChromaClip;
    using CColorCorrectionFilter::m_dwMatchCRC;
    using CColorCorrectionFilter::m_LumaClip;
    using CColorCorrectionFilter::m_MatchYLUT;
    using CColorCorrectionFilter::m_pMatchIndex;
    using CColorCorrectionFilter::m_pSixIndex;
    using CColorCorrectionFilter::m_uIsolateType;
    using CColorCorrectionFilter::m_uIsolateVector;
    using CColorCorrectionFilter::m_YLUT;

    // Match index entry of the chroma pair (u, v), both in -128..127.
    uint16_t MatchEntry(int u, int v) const { return m_pMatchIndex[SegmentIndexPosition(u, v)]; }
};

// A default record (Init(564)) with the given groups active.
inline tagCOLORCORRINFO Record(DWORD flags = 0)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = flags;
    return cc;
}

// A YUV picture of w x h pixels at `bits`, every pixel (y, u + 128, v + 128
// [, alpha]).
inline CVoraDib YuvPicture(int w, int h, int bits, int y, int u, int v, int alpha = 255)
{
    CVoraDib dib;
    dib.AllocYUV(w, h, bits, 0);
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    BYTE* base = dib;
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            BYTE* p = base + static_cast<size_t>(row) * line + static_cast<size_t>(x) * step;
            p[0] = static_cast<BYTE>(y);
            p[1] = static_cast<BYTE>(u + 128);
            p[2] = static_cast<BYTE>(v + 128);
            if (step == 4)
                p[3] = static_cast<BYTE>(alpha);
        }
    return dib;
}

} // namespace colorcorrect::test
