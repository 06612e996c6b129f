#pragma once
// Opens the display filter's scope, cube and real-time members to the tests,
// and swaps the library's scope backgrounds for test pictures.

#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/engine/pixel_stages.h"

#include "colorcorrect/display/color_cube.h"
#include "colorcorrect/display/scope_drawing.h"

#include <cstdint>

namespace colorcorrect::test {

class ScopeFilter : public CColorCorrectionFilter {
public:
    using CColorCorrectionFilter::BuildCube;
    using CColorCorrectionFilter::BuildRot;
    using CColorCorrectionFilter::DrawCube;
    using CColorCorrectionFilter::DrawVector;
    using CColorCorrectionFilter::SetText;
    using CColorCorrectionFilter::uOffsFirstLine;

    using CColorCorrectionFilter::m_aAngles;
    using CColorCorrectionFilter::m_afRot;
    using CColorCorrectionFilter::m_ColumnTable;
    using CColorCorrectionFilter::m_Draw;
    using CColorCorrectionFilter::m_HistoBack;
    using CColorCorrectionFilter::m_ILUT;
    using CColorCorrectionFilter::m_IsolateParam;
    using CColorCorrectionFilter::m_pDisplayBuffer;
    using CColorCorrectionFilter::m_uChannel;
    using CColorCorrectionFilter::m_uDisplayField;
    using CColorCorrectionFilter::m_uDisplayMode;

    using CBaseColorCorrectionFilter::m_bIsolate;
    using CBaseColorCorrectionFilter::m_bLegalY;
    using CBaseColorCorrectionFilter::m_bMatchVector;
    using CBaseColorCorrectionFilter::m_bPrimary;
    using CBaseColorCorrectionFilter::m_bVector;
    using CBaseColorCorrectionFilter::m_ChromaClip;
    using CBaseColorCorrectionFilter::m_dwMatchCRC;
    using CBaseColorCorrectionFilter::m_LumaClip;
    using CBaseColorCorrectionFilter::m_pMatchIndex;
    using CBaseColorCorrectionFilter::m_uIsolateType;
    using CBaseColorCorrectionFilter::m_uIsolateVector;
    using CBaseColorCorrectionFilter::PrimaryStage;

    // As the isolate setters do: a changed setting forces the next full
    // set-up to rebuild the match index.
    void Isolate(uint32_t vector, uint32_t type)
    {
        m_uIsolateVector = vector;
        m_uIsolateType = type;
        m_dwMatchCRC = 0xFFFFFFFFu;
    }

    // Sets the cube angles as the owner would, and returns them in `angles`.
    void SetAngles(int alpha, int beta, int gamma)
    {
        m_aAngles[0] = alpha;
        m_aAngles[1] = beta;
        m_aAngles[2] = gamma;
    }

    // Counter (row, column) of plane `plane` of a 256-wide grid.
    int Cell(int plane, int row, int column) const
    {
        return m_pDisplayBuffer[static_cast<size_t>(plane) * kGridBytes +
                                static_cast<size_t>(row) * kGridSide +
                                static_cast<size_t>(column)];
    }
    // Counter (row, column) of plane `plane` of the waveform grid.
    int WaveCell(int plane, int row, int column) const
    {
        return m_pDisplayBuffer[static_cast<size_t>(plane) * kWaveformPlaneBytes +
                                static_cast<size_t>(row) * kWaveformStride +
                                static_cast<size_t>(column)];
    }
    // Histogram count of value i of channel 0 (R), 1 (G) or 2 (B).
    uint32_t HistoCount(int channel, int i) const
    {
        return reinterpret_cast<const uint32_t*>(m_pDisplayBuffer)[channel * 256 + i];
    }
};

// Replaces the library's scope backgrounds with test pictures for the life of
// the object and puts the originals back afterwards.
class BackgroundSwap {
public:
    BackgroundSwap()
        : m_vector(g_dibVector), m_waveform(g_dibWaveform), m_lightning(g_dibLightning),
          m_histogram(g_dibHistogram), m_blank(g_dibBlank), m_vectLight(g_dibVectLight)
    {
    }
    ~BackgroundSwap()
    {
        g_dibVector = m_vector;
        g_dibWaveform = m_waveform;
        g_dibLightning = m_lightning;
        g_dibHistogram = m_histogram;
        g_dibBlank = m_blank;
        g_dibVectLight = m_vectLight;
    }
    BackgroundSwap(const BackgroundSwap&) = delete;
    BackgroundSwap& operator=(const BackgroundSwap&) = delete;

private:
    CVoraDib m_vector, m_waveform, m_lightning, m_histogram, m_blank, m_vectLight;
};

} // namespace colorcorrect::test
