#pragma once
// The isolation variant of the match-vector step, shared by the preview and
// the scope displays. Internal like the other stages (engine/pixel_stages.h).

#include "../engine/pixel_stages.h"
#include "color_correction_filter.h"

inline bool CColorCorrectionFilter::IsolationStage(int& y, int& u, int& v) const
{
    using namespace colorcorrect::stages;
    const unsigned k = m_uIsolateVector & 0xFu;
    const unsigned e = m_pMatchIndex[colorcorrect::SegmentIndexPosition(u, v)];
    const unsigned l = m_MatchYLUT[k][y];
    auto gray = [&] {
        y = 128;
        u = 0;
        v = 0;
        return false;
    };

    switch (m_uIsolateType) {
    case 1:
        // Everything inside the vector's luma window keeps its values.
        return l != 0 ? true : gray();
    case 7: {
        if (e == 0 || l == 0)
            return gray();
        // Toward the vector's edge the blend goes to the unprocessed luma and
        // to zero chroma, so colour fades out at the selection's border.
        const int wBack = static_cast<int>((l >> 8) > (e >> 8) ? (l >> 8) : (e >> 8));
        const int wVec = 256 - wBack;
        const unsigned s = e & 0xFu;
        const unsigned iu = ChromaByte(u);
        const unsigned iv = ChromaByte(v);
        y = (static_cast<int>(l & 0xFFu) * wVec + wBack * y) >> 8;
        const int hu = ClampChroma(((m_MatchCosLUT[k][iu] + m_MatchSinLUT[k][iv]) * wVec + wBack * u) >> 8);
        const int hv = ClampChroma(((m_MatchCosLUT[k][iv] - m_MatchSinLUT[k][iu]) * wVec + wBack * v) >> 8);
        u = ClampChroma(((m_MatchSatLUT[s][ChromaByte(hu)] + m_MatchUOffset[s]) * wVec) >> 8);
        v = ClampChroma(((m_MatchSatLUT[s][ChromaByte(hv)] + m_MatchVOffset[s]) * wVec) >> 8);
        return true;
    }
    default:
        // Types 2 to 6: the index itself marks the isolated region.
        if (e == 0)
            return gray();
        return (e & 0xFu) == k;
    }
}
