#pragma once
// Opens the display filter's builders and state to the tests, swaps the
// library's scope backgrounds for test pictures, and builds small pictures.

#include <colorcorrect/colorcorrect.h>

#include "colorcorrect/display/color_cube.h"
#include "colorcorrect/display/scope_drawing.h"
#include "support/picture_pattern.h"

namespace colorcorrect::test {

class DisplayAccess : public CColorCorrectionFilter {
public:
    using CColorCorrectionFilter::BuildCube, CColorCorrectionFilter::BuildRot, CColorCorrectionFilter::DrawCube,
        CColorCorrectionFilter::DrawVector, CColorCorrectionFilter::IsolationStage, CColorCorrectionFilter::SetText;
    using CColorCorrectionFilter::m_aAngles, CColorCorrectionFilter::m_afRot, CColorCorrectionFilter::m_Draw,
        CColorCorrectionFilter::m_HistoBack, CColorCorrectionFilter::m_ILUT, CColorCorrectionFilter::m_pDisplayBuffer,
        CColorCorrectionFilter::m_uDisplayMode, CColorCorrectionFilter::m_bDisplayReference;
    using CBaseColorCorrectionFilter::m_bIsolate, CBaseColorCorrectionFilter::m_bMatchVector,
        CBaseColorCorrectionFilter::m_bPrimary, CBaseColorCorrectionFilter::m_bSixVector,
        CBaseColorCorrectionFilter::m_pMatchIndex, CBaseColorCorrectionFilter::m_pSixIndex;
    using CBaseColorCorrectionFilter::m_BLUT, CBaseColorCorrectionFilter::m_GLUT, CBaseColorCorrectionFilter::m_RLUT,
        CBaseColorCorrectionFilter::m_CosLUT, CBaseColorCorrectionFilter::m_SinLUT,
        CBaseColorCorrectionFilter::m_SatLUT, CBaseColorCorrectionFilter::m_YLUT;

    // Byte `offset` of the scope accumulation buffer.
    int Count(size_t offset) const { return m_pDisplayBuffer[offset]; }
};

// A default record (Init(564)) with the given groups active.
inline tagCOLORCORRINFO Record(DWORD flags)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = flags;
    return cc;
}

// A packed YUV picture with every pixel (y, u + 128, v + 128[, alpha]).
inline CVoraDib Uniform(int w, int h, int bits, int y, int u, int v, int alpha = 255)
{
    CVoraDib dib;
    dib.AllocYUV(w, h, bits, 0);
    FillUniform(dib, {y, u + 128, v + 128, alpha});
    return dib;
}

// Random alpha, with opaque runs as in real pictures: even memory rows
// wholly opaque; in odd rows every third pixel opaque, every seventh
// transparent and the rest as they were.
inline void MixAlpha(CVoraDib& dib)
{
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    for (int row = 0; step == 4 && row < dib.GetHeight(); ++row)
        for (int x = 0; x < dib.GetWidth(); ++x) {
            BYTE* p = static_cast<BYTE*>(dib) + static_cast<size_t>(row) * line + 4 * static_cast<size_t>(x);
            p[3] = row % 2 == 0 ? 255 : x % 7 == 0 ? 0 : (x % 3 == 0 ? 255 : p[3]);
        }
}

// Replaces the library's scope backgrounds with `background` for the life of
// the object and puts the originals back afterwards.
class BackgroundSwap {
public:
    explicit BackgroundSwap(const CVoraDib& background)
    {
        for (int i = 0; i < 6; ++i)
            m_saved[i] = *m_live[i], *m_live[i] = background;
    }
    ~BackgroundSwap()
    {
        for (int i = 0; i < 6; ++i)
            *m_live[i] = m_saved[i];
    }
    BackgroundSwap(const BackgroundSwap&) = delete;
    BackgroundSwap& operator=(const BackgroundSwap&) = delete;

private:
    CVoraDib* m_live[6] = {&g_dibVector, &g_dibWaveform, &g_dibLightning, &g_dibHistogram, &g_dibBlank, &g_dibVectLight};
    CVoraDib m_saved[6];
};

} // namespace colorcorrect::test
