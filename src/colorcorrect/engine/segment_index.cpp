// The six-vector and match-vector hue segment indexes.

#include "segment_index.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>

#include "angles.h"
#include "base_color_correction_filter.h"

using colorcorrect::g_HalfPi;
using colorcorrect::g_Pi;
using colorcorrect::g_TwoPi;
using colorcorrect::kMatchEdge;
using colorcorrect::kMatchInside;
using colorcorrect::kSixSegmentBoundaries;

namespace {

// The six-vector index depends on constants only, so it is computed once for
// the process (65,536 angles and sines) and each filter copies it: a new
// filter's set-up then costs a copy instead of the trigonometry.
struct SixIndexTable {
    uint16_t entries[colorcorrect::kSegmentIndexEntries];

    SixIndexTable()
    {
        double half[6];
        for (int i = 0; i < 5; ++i)
            half[i] = (kSixSegmentBoundaries[i + 1] - kSixSegmentBoundaries[i]) / 2;
        half[5] = (g_TwoPi + kSixSegmentBoundaries[0] - kSixSegmentBoundaries[5]) / 2;

        uint16_t* entry = entries;
        for (int v = -128; v < 128; ++v) {
            for (int u = -128; u < 128; ++u) {
                const double theta = ChromaAngle(u, v);
                int i = 0;
                while (i < 6 && kSixSegmentBoundaries[i] < theta)
                    ++i;
                const int a = (i + 5) % 6; // the segment whose lower boundary lies below theta
                double d = theta - kSixSegmentBoundaries[a];
                if (d < 0)
                    d += g_TwoPi;
                // The nearer boundary's other segment is the neighbour.
                const int b = d < half[a] ? (a + 5) % 6 : (a + 1) % 6;
                const int w = static_cast<int>((1 - std::sin(d / half[a] * g_HalfPi)) * 128);
                *entry++ = static_cast<uint16_t>((w << 8) | (b << 4) | a);
            }
        }
    }
};

} // namespace

BOOL CBaseColorCorrectionFilter::BuildSegmentIndex_six()
{
    // Built once per object, from the process's table (made on first use,
    // thread-safely, without allocating).
    if (m_pSixIndex != nullptr)
        return 1;
    m_pSixIndex = AllocateSegmentIndex();
    if (m_pSixIndex == nullptr)
        return 0;
    static const SixIndexTable table;
    std::memcpy(m_pSixIndex, table.entries, colorcorrect::kSegmentIndexBytes);
    return 1;
}

namespace {

// Selection geometry of one match vector, computed once per build.
struct VectorShape {
    bool usable;     // both widths nonzero: a region that can hold pairs
    double theta;    // centre angle
    double alpha;    // angular half-width
    double radius;   // centre radius
    double rMin2;    // squared inner radius of the ring
    double rMax2;    // squared outer radius of the ring
    double satWidth; // radial half-width
    double hueSoft;  // soft fraction of the angular edge, 0..255/256
    double satSoft;  // soft fraction of the radial edge
};

VectorShape ShapeOf(const tagMATCHVECTOR& mv)
{
    VectorShape s{};
    s.usable = mv.byHueWidth != 0 && mv.bySatWidth != 0;
    s.theta = ChromaAngle(mv.cU, mv.cV);
    s.alpha = mv.byHueWidth * g_Pi / 255;
    s.radius = std::sqrt(static_cast<double>(mv.cU * mv.cU + mv.cV * mv.cV));
    s.satWidth = mv.bySatWidth;
    const double inner = s.radius - mv.bySatWidth;
    s.rMin2 = inner > 0 ? inner * inner : 0.0;
    s.rMax2 = (s.radius + mv.bySatWidth) * (s.radius + mv.bySatWidth);
    s.hueSoft = mv.byHueSoft / 256.0;
    s.satSoft = mv.bySatSoft / 256.0;
    return s;
}

bool InRing(const VectorShape& s, double r2)
{
    return s.rMin2 <= r2 && r2 <= s.rMax2;
}

// A chroma pair of the index. Its angle (an arctangent) and radius (a square
// root) are worked out on first use only: most pairs lie in no vector's ring
// and never need them.
class Pair {
public:
    Pair(int u, int v) : m_u(u), m_v(v), m_r2(u * u + v * v) {}
    double R2() const { return m_r2; }
    double Theta()
    {
        if (!m_haveTheta) {
            m_theta = ChromaAngle(m_u, m_v);
            m_haveTheta = true;
        }
        return m_theta;
    }
    double Radius()
    {
        if (!m_haveRadius) {
            m_radius = std::sqrt(m_r2);
            m_haveRadius = true;
        }
        return m_radius;
    }

private:
    int m_u, m_v;
    double m_r2;
    bool m_haveTheta = false;
    bool m_haveRadius = false;
    double m_theta = 0;
    double m_radius = 0;
};

// The vector a pair is accepted by, with its angular and radial positions
// (0 at the centre, 1 at the outer edge).
struct Selection {
    int vector = 0; // 0: none
    double an = 0;
    double rn = 0;
};

// Scores a pair against one vector; false when the pair lies outside it.
// strictHue makes the angular test exclude the wedge's own edge. The ring
// is tested before the wedge because it is cheaper; both must hold.
bool Position(const VectorShape& s, Pair& pair, bool strictHue, double& an, double& rn)
{
    if (!s.usable)
        return false; // a zero-width wedge or ring selects nothing
    if (!InRing(s, pair.R2()))
        return false;
    const double dTheta = AngleDistance(pair.Theta(), s.theta);
    if (strictHue ? !(dTheta < s.alpha) : !(dTheta <= s.alpha))
        return false;
    an = dTheta / s.alpha;
    rn = std::fabs(pair.Radius() - s.radius) / s.satWidth;
    return true;
}

// For one row of the index (V fixed), the vectors whose ring may hold the
// pair with U = +-a, as a bit mask per a = |U| (0..128; bit i = vector i).
// Each ring's range of |U| is found with square roots and widened by one on
// both sides, so rounding cannot lose a pair: the exact ring test follows.
struct RowCandidates {
    uint16_t mask[129];
};

void FindRowCandidates(const VectorShape* shapes, int count, int v, RowCandidates& row)
{
    std::fill(std::begin(row.mask), std::end(row.mask), uint16_t{0});
    const double v2 = static_cast<double>(v) * v;
    for (int i = 1; i < count; ++i) {
        const VectorShape& s = shapes[i];
        if (!s.usable || s.rMax2 - v2 < 0)
            continue;
        int hi = static_cast<int>(std::sqrt(s.rMax2 - v2)) + 1;
        if (hi > 128)
            hi = 128;
        int lo = 0;
        if (s.rMin2 - v2 > 0) {
            lo = static_cast<int>(std::sqrt(s.rMin2 - v2)) - 1;
            if (lo < 0)
                lo = 0;
        }
        for (int a = lo; a <= hi; ++a)
            row.mask[a] = static_cast<uint16_t>(row.mask[a] | (1u << i));
    }
}

// The search of the normal selection: the closest vector (by the larger of
// its two positions) among 1..count-1, ties going to the later vector. Only
// the candidates in `mask` (bit i = vector i) can contain the pair.
Selection Search(const VectorShape* shapes, unsigned mask, Pair& pair)
{
    Selection best;
    double bestScore = 1.0;
    for (; mask != 0; mask &= mask - 1) {
        const int i = std::countr_zero(mask); // lowest first: vector order
        double an, rn;
        if (!Position(shapes[i], pair, false, an, rn))
            continue;
        const double score = an > rn ? an : rn;
        if (score <= bestScore) {
            best.vector = i;
            best.an = an;
            best.rn = rn;
            bestScore = score;
        }
    }
    return best;
}

// The edge that decides the pair's weight: the position relative to the
// start of its soft zone (1 - soft), and that soft fraction.
struct Edge {
    double position;
    double soft;
};

Edge DecidingEdge(const VectorShape& s, double an, double rn)
{
    if (an / (1 - s.hueSoft) > rn / (1 - s.satSoft))
        return {an, s.hueSoft};
    return {rn, s.satSoft};
}

// True inside the inner zone; otherwise weight gets the background's share
// 0..255. Positions never exceed 1 for an accepted pair; at exactly 1 the
// share would be 256, which is kept at 255 to fit the byte.
bool Inside(const Edge& edge, int& weight)
{
    if (edge.position <= 1 - edge.soft)
        return true;
    const int w = static_cast<int>((edge.position - (1 - edge.soft)) * 256 / edge.soft);
    weight = w > 255 ? 255 : w;
    return false;
}

// Entry of the normal selection for a pair inside vector k.
uint16_t VectorEntry(int k, const Edge& edge)
{
    int weight = 0;
    if (Inside(edge, weight))
        return static_cast<uint16_t>(k | kMatchInside);
    return static_cast<uint16_t>((weight << 8) | k | kMatchEdge);
}

} // namespace

BOOL CBaseColorCorrectionFilter::BuildSegmentIndex_match(const tagMATCHVECTORINFO& info)
{
    if (m_pMatchIndex == nullptr) {
        m_pMatchIndex = AllocateSegmentIndex();
        if (m_pMatchIndex == nullptr)
            return 0;
    }

    const int count = static_cast<int>(colorcorrect::UsedVectorCount(info));
    VectorShape shapes[16];
    for (int i = 0; i < count; ++i)
        shapes[i] = ShapeOf(info.Vector[i]);

    const unsigned type =
        m_uIsolateType != 0 && m_uIsolateVector < static_cast<uint32_t>(count) ? m_uIsolateType : 0;
    m_bIsolate = type != 0 ? 1 : 0;
    if (type > 7)
        return 1; // no such display: the index stays as it is
    const int iv = static_cast<int>(m_uIsolateVector);

    // Rows of V are independent: they may be built on several threads.
    ForSetupRows(256, [&](size_t firstRow, size_t rowCount) {
        RowCandidates row;
        for (size_t r = firstRow; r < firstRow + rowCount; ++r) {
            const int v = static_cast<int>(r) - 128;
            uint16_t* entry = m_pMatchIndex + r * 256;
            FindRowCandidates(shapes, count, v, row);
            for (int u = -128; u < 128; ++u) {
                Pair pair(u, v);
                uint16_t value = 0;
                switch (type) {
                case 0: {
                    const Selection sel = Search(shapes, row.mask[u < 0 ? -u : u], pair);
                    if (sel.vector != 0)
                        value = VectorEntry(sel.vector,
                                            DecidingEdge(shapes[sel.vector], sel.an, sel.rn));
                    break;
                }
                case 1:
                    break; // every pair is background
                case 2:
                case 3:
                    // Hue wedge only.
                    if (iv != 0) {
                        if (AngleDistance(pair.Theta(), shapes[iv].theta) < shapes[iv].alpha)
                            value = static_cast<uint16_t>(iv | kMatchEdge);
                    } else {
                        bool any = false;
                        for (int i = 1; i < count && !any; ++i)
                            any = AngleDistance(pair.Theta(), shapes[i].theta) < shapes[i].alpha;
                        if (!any)
                            value = kMatchEdge;
                    }
                    break;
                case 4:
                case 5:
                    // Saturation ring only.
                    if (iv != 0) {
                        if (InRing(shapes[iv], pair.R2()))
                            value = static_cast<uint16_t>(iv | kMatchEdge);
                    } else {
                        bool any = false;
                        for (int i = 1; i < count && !any; ++i)
                            any = InRing(shapes[i], pair.R2());
                        if (!any)
                            value = kMatchEdge;
                    }
                    break;
                default: // 6 and 7: wedge and ring
                    if (iv != 0) {
                        double an, rn;
                        if (Position(shapes[iv], pair, true, an, rn) &&
                            (an > rn ? an : rn) <= 1.0)
                            value = VectorEntry(iv, DecidingEdge(shapes[iv], an, rn));
                    } else {
                        const Selection sel = Search(shapes, row.mask[u < 0 ? -u : u], pair);
                        if (sel.vector == 0) {
                            value = kMatchInside;
                        } else {
                            int weight = 0;
                            if (!Inside(DecidingEdge(shapes[sel.vector], sel.an, sel.rn), weight))
                                value = static_cast<uint16_t>((weight << 8) | kMatchEdge);
                        }
                    }
                    break;
                }
                *entry++ = value;
            }
        }
    });
    return 1;
}
