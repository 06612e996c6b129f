#include "base_color_correction_filter.h"

#include <algorithm>
#include <cstring>

#include "../host/checksum.h"
#include "../host/debug_output.h"
#include "../host/tick_count.h"
#include "../host/virtual_memory.h"
#include "../records/field_catalogue.h"
#include "../records/output_levels.h"
#include "band_processor.h"
#include "fast_process.h"
#include "segment_index.h"

namespace {

constexpr uint32_t kNoMatchBuild = 0xFFFFFFFFu;

// A match vector's chroma offset, limited to the range its field allows.
int ClampOffset(int value)
{
    static const colorcorrect::CorrectionField& field =
        *colorcorrect::FindField(colorcorrect::kMatchVectorGroup, "u_offset");
    return colorcorrect::ClampToField(field, value);
}

// Whole degrees from hue units (256 = 180 degrees), truncated toward zero.
int HueDegrees(int hue)
{
    return hue * 180 / 256;
}

template <typename T, size_t N>
void CopyArray(T (&to)[N], const T (&from)[N])
{
    std::memcpy(to, from, sizeof to);
}

} // namespace

CBaseColorCorrectionFilter::CBaseColorCorrectionFilter()
    : m_bPrimary(1), m_bVector(0), m_bSixVector(0), m_bMatchVector(0), m_bLegalY(0),
      m_bChromaReduced(0), m_YLUT{}, m_CosLUT{}, m_SinLUT{}, m_SatLUT{}, m_RLUT{}, m_GLUT{},
      m_BLUT{}, m_SixYLUT{}, m_SixCosLUT{}, m_SixSinLUT{}, m_SixSatLUT{}, m_MatchYLUT{},
      m_MatchCosLUT{}, m_MatchSinLUT{}, m_MatchSatLUT{}, m_MatchUOffset{}, m_MatchVOffset{},
      m_pSixIndex(nullptr), m_pMatchIndex(nullptr), m_dwMatchCRC(kNoMatchBuild), m_LumaClip{},
      m_ChromaClip{}, m_uIsolateVector(0), m_uIsolateType(0), m_bIsolate(0), m_dwMatchRange(0),
      m_pFast(nullptr)
{
}

CBaseColorCorrectionFilter::~CBaseColorCorrectionFilter()
{
    ReleaseSegmentIndex(m_pSixIndex);
    ReleaseSegmentIndex(m_pMatchIndex);
    delete m_pFast;
    m_pFast = nullptr;
}

CBaseColorCorrectionFilter::CBaseColorCorrectionFilter(const CBaseColorCorrectionFilter& other)
    : CBaseColorCorrectionFilter()
{
    CopyFrom(other);
}

CBaseColorCorrectionFilter& CBaseColorCorrectionFilter::operator=(
    const CBaseColorCorrectionFilter& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

void CBaseColorCorrectionFilter::CopyFrom(const CBaseColorCorrectionFilter& other)
{
    m_bPrimary = other.m_bPrimary;
    m_bVector = other.m_bVector;
    m_bSixVector = other.m_bSixVector;
    m_bMatchVector = other.m_bMatchVector;
    m_bLegalY = other.m_bLegalY;
    m_bChromaReduced = other.m_bChromaReduced;
    CopyArray(m_YLUT, other.m_YLUT);
    CopyArray(m_CosLUT, other.m_CosLUT);
    CopyArray(m_SinLUT, other.m_SinLUT);
    CopyArray(m_SatLUT, other.m_SatLUT);
    CopyArray(m_RLUT, other.m_RLUT);
    CopyArray(m_GLUT, other.m_GLUT);
    CopyArray(m_BLUT, other.m_BLUT);
    CopyArray(m_SixYLUT, other.m_SixYLUT);
    CopyArray(m_SixCosLUT, other.m_SixCosLUT);
    CopyArray(m_SixSinLUT, other.m_SixSinLUT);
    CopyArray(m_SixSatLUT, other.m_SixSatLUT);
    CopyArray(m_MatchYLUT, other.m_MatchYLUT);
    CopyArray(m_MatchCosLUT, other.m_MatchCosLUT);
    CopyArray(m_MatchSinLUT, other.m_MatchSinLUT);
    CopyArray(m_MatchSatLUT, other.m_MatchSatLUT);
    CopyArray(m_MatchUOffset, other.m_MatchUOffset);
    CopyArray(m_MatchVOffset, other.m_MatchVOffset);
    m_dwMatchCRC = other.m_dwMatchCRC;
    CopyArray(m_LumaClip, other.m_LumaClip);
    CopyArray(m_ChromaClip, other.m_ChromaClip);
    m_uIsolateVector = other.m_uIsolateVector;
    m_uIsolateType = other.m_uIsolateType;
    m_bIsolate = other.m_bIsolate;
    m_dwMatchRange = other.m_dwMatchRange;

    // Each object owns its index buffers: the target mirrors the source's
    // buffers in a buffer of its own (reusing the one it has).
    if (other.m_pSixIndex == nullptr) {
        ReleaseSegmentIndex(m_pSixIndex);
    } else {
        if (m_pSixIndex == nullptr)
            m_pSixIndex = AllocateSegmentIndex();
        // Without a buffer the next set-up with six vectors builds one.
        if (m_pSixIndex != nullptr)
            std::memcpy(m_pSixIndex, other.m_pSixIndex, colorcorrect::kSegmentIndexBytes);
    }
    if (other.m_pMatchIndex == nullptr) {
        ReleaseSegmentIndex(m_pMatchIndex);
    } else {
        if (m_pMatchIndex == nullptr)
            m_pMatchIndex = AllocateSegmentIndex();
        if (m_pMatchIndex != nullptr)
            std::memcpy(m_pMatchIndex, other.m_pMatchIndex, colorcorrect::kSegmentIndexBytes);
        else
            m_dwMatchCRC = kNoMatchBuild; // rebuild the tables with the index
    }

    // The fast-path tables follow the source's; without memory for them the
    // copy takes the reference loop until its next set-up.
    if (other.m_pFast == nullptr) {
        delete m_pFast;
        m_pFast = nullptr;
    } else if (m_pFast != nullptr) {
        m_pFast->Assign(*other.m_pFast);
    } else {
        m_pFast = other.m_pFast->Clone().release();
    }
}

void CBaseColorCorrectionFilter::ForSetupBands(size_t rows,
                                               const std::function<void(size_t, size_t)>& job) const
{
    // Bands of 32 rows at least: each costs a hand-over between threads.
    m_pSetupBands->ForEachBand(rows, 32, job);
}

uint16_t* CBaseColorCorrectionFilter::AllocateSegmentIndex()
{
    return static_cast<uint16_t*>(
        VirtualAlloc(nullptr, colorcorrect::kSegmentIndexBytes, MEM_COMMIT, PAGE_READWRITE));
}

void CBaseColorCorrectionFilter::ReleaseSegmentIndex(uint16_t*& index)
{
    if (index != nullptr) {
        VirtualFree(index, 0, MEM_RELEASE);
        index = nullptr;
    }
}

void CBaseColorCorrectionFilter::BuildOutputTables(WORD rangeFlags, bool clipping, BYTE softY,
                                                   BYTE softC)
{
    const colorcorrect::OutputLevels l = colorcorrect::OutputLevelsOf(rangeFlags, clipping);
    // A knee only where the levels are narrower than the full range.
    BuildClippingLUT(m_LumaClip, 0, l.lumaMin, 255, l.lumaMax, l.legalLuma ? softY : 0);
    BuildClippingLUT(m_ChromaClip, -127, -l.chromaLimit, 127, l.chromaLimit,
                     l.reducedChroma ? softC : 0);
}

BOOL CBaseColorCorrectionFilter::SetupFilter(const tagCOLORCORRINFO& cc)
{
    const colorcorrect::DebugTimer timer;

    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || cc.Base.dwSize != sizeof(tagBASECOLORCORRINFO) ||
        cc.Vector6.dwSize != sizeof(tagVECTOR6INFO) || cc.Match.dwCount > 16)
        return 0;

    // From here on tables change: the fast loop waits for the end of the
    // set-up (a set-up that fails half-way leaves the reference loop).
    if (m_pFast != nullptr)
        m_pFast->plan = colorcorrect::FastPlan{};
    bool matchRebuilt = false;

    const tagBASECOLORCORRINFO& base = cc.Base;
    const unsigned range = base.wRangeFlags & 0xFFu;
    m_bLegalY = (range & (RANGE_VIDEO_LUMA | RANGE_LEGAL)) != 0 ? 1 : 0;
    m_bChromaReduced = (range & RANGE_CHROMA_REDUCED) != 0 ? 1 : 0;
    const int videoRange = (range & RANGE_VIDEO_LUMA) != 0 ? 1 : 0;

    BuildYLUT(m_YLUT, base.sYBlack, base.sYGamma, base.sYWhite, videoRange);
    BuildCosSinLUT(reinterpret_cast<BYTE*>(m_CosLUT), reinterpret_cast<BYTE*>(m_SinLUT), m_SatLUT,
                   base.sSat, HueDegrees(base.sHue), 1);

    if ((cc.dwFlags & CC_SIX_VECTOR) != 0) {
        m_bSixVector = 1;
        if (!BuildSegmentIndex_six())
            return 0;
        const tagVECTOR6INFO& six = cc.Vector6;
        for (int i = 0; i < 6; ++i) {
            BuildYLUT(m_SixYLUT[i], six.sBlack[i], six.sGamma[i], six.sWhite[i], videoRange);
            BuildCosSinLUT(reinterpret_cast<BYTE*>(m_SixCosLUT[i]),
                           reinterpret_cast<BYTE*>(m_SixSinLUT[i]),
                           reinterpret_cast<WORD*>(m_SixSatLUT[i]), six.sSat[i],
                           HueDegrees(six.sHue[i]), 0);
        }
    } else {
        m_bSixVector = 0;
    }

    if ((cc.dwFlags & CC_MATCH_VECTOR) != 0 && cc.Match.dwCount != 0) {
        m_bMatchVector = 1;
        const DWORD crc = GetCRC1615(&cc.Match, sizeof(tagMATCHVECTORINFO));
        // 0xFFFFFFFF marks "no valid build" even should a record's checksum
        // happen to take that value.
        const bool rebuild = m_pMatchIndex == nullptr || crc != m_dwMatchCRC ||
                             m_dwMatchCRC == kNoMatchBuild ||
                             m_dwMatchRange != static_cast<uint32_t>(videoRange);
        if (rebuild) {
            matchRebuilt = true;
            if (m_pFast != nullptr)
                m_pFast->vectorValid = false;
            if (!BuildSegmentIndex_match(cc.Match))
                return 0;
            const uint32_t count = cc.Match.dwCount;
            for (uint32_t i = 0; i < count; ++i) {
                const tagMATCHVECTOR& mv = cc.Match.Vector[i];
                // Vector 0 is the background: its selection fields are unused.
                if (i == 0)
                    BuildYMatchLUT(m_MatchYLUT[0], 128, 128, 0, mv.sBlack, mv.sGamma, mv.sWhite,
                                   videoRange);
                else
                    BuildYMatchLUT(m_MatchYLUT[i], mv.byY, mv.byYRange, mv.byYSoft, mv.sBlack,
                                   mv.sGamma, mv.sWhite, videoRange);
                BuildCosSinLUT(reinterpret_cast<BYTE*>(m_MatchCosLUT[i]),
                               reinterpret_cast<BYTE*>(m_MatchSinLUT[i]),
                               reinterpret_cast<WORD*>(m_MatchSatLUT[i]), mv.sSat,
                               HueDegrees(mv.sHue), 0);
                m_MatchUOffset[i] = static_cast<int16_t>(ClampOffset(mv.sUOffset));
                m_MatchVOffset[i] = static_cast<int16_t>(ClampOffset(mv.sVOffset));
            }
            m_dwMatchRange = static_cast<uint32_t>(videoRange);
        }
        m_dwMatchCRC = crc;
    } else {
        m_bMatchVector = 0;
    }

    m_bPrimary = (cc.dwFlags & CC_PRIMARY) != 0 ? 1 : 0;
    m_bVector = (cc.dwFlags & (CC_SIX_VECTOR | CC_MATCH_VECTOR)) != 0 ? 1 : 0;

    BuildRGBLUT(m_RLUT, base.sRBlack, base.sRGamma, base.sRWhite);
    BuildRGBLUT(m_GLUT, base.sGBlack, base.sGGamma, base.sGWhite);
    BuildRGBLUT(m_BLUT, base.sBBlack, base.sBGamma, base.sBWhite);

    BuildOutputTables(base.wRangeFlags, (cc.dwFlags & CC_CLIPPING) != 0, base.bySoftY, base.bySoftC);
    UpdateFastPath(matchRebuilt);

    timer.Report(11, 4, L"\rCBaseColorCorrectionFilter::SetupFilter: %ums\r\n");
    return 1;
}

BOOL CBaseColorCorrectionFilter::SetupFilter(const tagBASECOLORCORRINFO& b)
{
    if (b.dwSize != sizeof(tagBASECOLORCORRINFO))
        return 0;

    const unsigned range = b.wRangeFlags & 0xFFu;
    m_bLegalY = (range & (RANGE_VIDEO_LUMA | RANGE_LEGAL)) != 0 ? 1 : 0;
    m_bChromaReduced = (range & RANGE_CHROMA_REDUCED) != 0 ? 1 : 0;
    const int videoRange = (range & RANGE_VIDEO_LUMA) != 0 ? 1 : 0;
    m_bPrimary = 1;
    m_bVector = m_bSixVector = m_bMatchVector = 0;

    BuildYLUT(m_YLUT, b.sYBlack, b.sYGamma, b.sYWhite, videoRange);
    BuildCosSinLUT(reinterpret_cast<BYTE*>(m_CosLUT), reinterpret_cast<BYTE*>(m_SinLUT), m_SatLUT,
                   b.sSat, HueDegrees(b.sHue), 1);
    BuildRGBLUT(m_RLUT, b.sRBlack, b.sRGamma, b.sRWhite);
    BuildRGBLUT(m_GLUT, b.sGBlack, b.sGGamma, b.sGWhite);
    BuildRGBLUT(m_BLUT, b.sBBlack, b.sBGamma, b.sBWhite);

    // The clipping settings always apply here.
    BuildOutputTables(b.wRangeFlags, true, b.bySoftY, b.bySoftC);
    UpdateFastPath(false);
    return 1;
}

BOOL CBaseColorCorrectionFilter::IsDefault(const tagBASECOLORCORRINFO& b)
{
    if (b.dwSize < 4)
        return 0;
    const size_t end = std::min<size_t>(b.dwSize, sizeof(tagBASECOLORCORRINFO));
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&b);
    for (size_t i = 4; i < end; ++i)
        if (bytes[i] != 0)
            return 0;
    return 1;
}

BOOL CBaseColorCorrectionFilter::IsDefault(const tagCOLORCORRINFO& cc)
{
    return cc.dwFlags == 0 ? 1 : 0;
}
