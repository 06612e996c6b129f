#include "color_correction_filter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "../engine/fast_process.h"
#include "../engine/pixel_stages.h"
#include "../host/virtual_memory.h"
#include "../library/library_globals.h"

namespace {
constexpr int kDefaultIntensity = 120;
// Below this the second intensity curve's exponent would be infinite or
// negative.
constexpr int kMinIntensity = -12;
constexpr int kMaxIntensity = 255;
}

CColorCorrectionFilter::CColorCorrectionFilter()
    : m_ILUT{},
      m_pDisplayBuffer(nullptr),
      m_uDisplayMode(0),
      m_uDisplayField(1),
      m_aAngles{},
      m_afRot{},
      m_IsolateParam{},
      m_uChannel(0),
      m_bDisplayReference(false)
{
    // m_HistoBack stays empty, and the histogram display uses the library's
    // plain background, until a reference is drawn on a copy of it: a filter
    // that never shows a reference's histograms does not carry the copy.
    m_IsolateParam.Init();
    BuildILUT(m_ILUT, kDefaultIntensity);
}

CColorCorrectionFilter::~CColorCorrectionFilter()
{
    ReleaseDisplayBuffer();
}

CColorCorrectionFilter::CColorCorrectionFilter(const CColorCorrectionFilter& other)
    : CBaseColorCorrectionFilter(other), m_pDisplayBuffer(nullptr), m_uDisplayMode(0)
{
    CopyDisplayState(other);
}

CColorCorrectionFilter& CColorCorrectionFilter::operator=(const CColorCorrectionFilter& other)
{
    if (this != &other) {
        CBaseColorCorrectionFilter::operator=(other);
        ReleaseDisplayBuffer();
        CopyDisplayState(other);
    }
    return *this;
}

void CColorCorrectionFilter::CopyDisplayState(const CColorCorrectionFilter& other)
{
    std::copy(std::begin(other.m_ILUT), std::end(other.m_ILUT), m_ILUT);
    // The scope buffer is never shared: the copy makes its own at its next
    // display frame, and its drawing object is selected then.
    m_pDisplayBuffer = nullptr;
    m_uDisplayMode = 0;
    m_uDisplayField = other.m_uDisplayField;
    std::copy(std::begin(other.m_aAngles), std::end(other.m_aAngles), m_aAngles);
    std::copy(std::begin(other.m_afRot), std::end(other.m_afRot), m_afRot);
    m_IsolateParam = other.m_IsolateParam;
    m_uChannel = other.m_uChannel;
    m_bDisplayReference = other.m_bDisplayReference;
    m_Draw = other.m_Draw;
    m_Draw.Release();
    m_HistoBack = other.m_HistoBack;
    m_ColumnTable = other.m_ColumnTable;
}

bool CColorCorrectionFilter::DisplayReferenceLoops() const
{
    return m_bDisplayReference || colorcorrect::ReferenceLoopForced();
}

bool CColorCorrectionFilter::OutputTablesAreRangeClamps() const
{
    using colorcorrect::stages::ClampChroma;
    using colorcorrect::stages::ClampLuma;
    for (int i = 0; i < 1024; ++i)
        if (m_LumaClip[i] != ClampLuma(i - 512) || m_ChromaClip[i] != ClampChroma(i - 512))
            return false;
    return true;
}

void CColorCorrectionFilter::ReleaseDisplayBuffer()
{
    if (m_pDisplayBuffer != nullptr) {
        VirtualFree(m_pDisplayBuffer, 0, MEM_RELEASE);
        m_pDisplayBuffer = nullptr;
    }
    m_uDisplayMode = 0;
}

void CColorCorrectionFilter::SetVectorIntensity(int intensity)
{
    BuildILUT(m_ILUT, intensity);
}

void CColorCorrectionFilter::BuildILUT(unsigned short* table, int intensity)
{
    intensity = std::clamp(intensity, kMinIntensity, kMaxIntensity);
    const double e1 = 1.0 / (intensity / 25.0 + 1.0);
    const double e2 = 1.0 / (2.0 * intensity / 25.0 + 1.0);
    for (int n = 0; n < 256; ++n) {
        const double x = n / 256.0;
        table[n] = static_cast<unsigned short>(
            (static_cast<int>(std::pow(x, e1) * 256.0) & 255) << 8);
        table[256 + n] = static_cast<unsigned short>(static_cast<int>(std::pow(x, e2) * 256.0));
    }
}
