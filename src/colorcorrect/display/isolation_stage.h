#pragma once
// The isolation variant of the match-vector step, shared by the preview and
// the scope displays. Internal like the other stages (engine/pixel_stages.h).

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "../engine/pixel_stages.h"
#include "color_correction_filter.h"

namespace colorcorrect {

// The isolation display's settings and tables, read from the filter once.
// A loop over many pixels keeps them in registers: its stores of the
// results could otherwise be taken for writes to the filter's members.
class IsolationDisplay {
public:
    IsolationDisplay(unsigned type, unsigned vector, const uint16_t* index,
                     const uint16_t (&luma)[16][256], const int8_t (&cosine)[16][256],
                     const int8_t (&sine)[16][256], const int16_t (&saturation)[16][256],
                     const int16_t (&uOffset)[16], const int16_t (&vOffset)[16])
        : m_type(type), m_k(vector & 0xFu), m_index(index), m_luma(luma[m_k]), m_cos(cosine[m_k]),
          m_sin(sine[m_k]), m_sat(saturation), m_uOffset(uOffset), m_vOffset(vOffset)
    {
    }

    // See CColorCorrectionFilter::IsolationStage.
    bool operator()(int& y, int& u, int& v) const
    {
        switch (m_type) {
        case 1:
            return Apply<1>(y, u, v);
        case 7:
            return Apply<7>(y, u, v);
        default:
            return Apply<0>(y, u, v);
        }
    }

    // The step on n pixels' values, in one loop for the type.
    void Run(int32_t* y, int32_t* u, int32_t* v, size_t n) const
    {
        const auto run = [&](auto type) {
            for (size_t i = 0; i < n; ++i)
                Apply<decltype(type)::value>(y[i], u[i], v[i]);
        };
        switch (m_type) {
        case 1:
            run(std::integral_constant<unsigned, 1>());
            break;
        case 7:
            run(std::integral_constant<unsigned, 7>());
            break;
        default:
            run(std::integral_constant<unsigned, 0>());
        }
    }

private:
    // Type 1, type 7, or 0 for types 2 to 6.
    template <unsigned Type>
    bool Apply(int& y, int& u, int& v) const
    {
        using namespace stages;
        const unsigned e = m_index[SegmentIndexPosition(u, v)];
        const unsigned l = m_luma[y];
        auto gray = [&] {
            y = 128;
            u = 0;
            v = 0;
            return false;
        };

        if constexpr (Type == 1) {
            // Everything inside the vector's luma window keeps its values.
            return l != 0 ? true : gray();
        } else if constexpr (Type == 7) {
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
            const int hu = ClampChroma(((m_cos[iu] + m_sin[iv]) * wVec + wBack * u) >> 8);
            const int hv = ClampChroma(((m_cos[iv] - m_sin[iu]) * wVec + wBack * v) >> 8);
            u = ClampChroma(((m_sat[s][ChromaByte(hu)] + m_uOffset[s]) * wVec) >> 8);
            v = ClampChroma(((m_sat[s][ChromaByte(hv)] + m_vOffset[s]) * wVec) >> 8);
            return true;
        } else {
            // Types 2 to 6: the index itself marks the isolated region.
            if (e == 0)
                return gray();
            return (e & 0xFu) == m_k;
        }
    }

    unsigned m_type;              // isolate display type 0..7
    unsigned m_k;                 // the isolated vector 0..15
    const uint16_t* m_index;      // the match index: segment entry per chroma pair
    const uint16_t* m_luma;       // the isolated vector's luma table
    const int8_t* m_cos;          // its hue tables
    const int8_t* m_sin;
    const int16_t (*m_sat)[256];  // every vector's saturation table, by segment
    const int16_t* m_uOffset;     // every vector's chroma offsets, by segment
    const int16_t* m_vOffset;
};

} // namespace colorcorrect

inline colorcorrect::IsolationDisplay CColorCorrectionFilter::Isolation() const
{
    return {m_uIsolateType, m_uIsolateVector, m_pMatchIndex, m_MatchYLUT, m_MatchCosLUT,
            m_MatchSinLUT,  m_MatchSatLUT,    m_MatchUOffset, m_MatchVOffset};
}

inline bool CColorCorrectionFilter::IsolationStage(int& y, int& u, int& v) const
{
    return Isolation()(y, u, v);
}
