// The six-vector and match-vector hue segment indexes.

#include "segment_index.h"

#include <cmath>

#include "angles.h"
#include "base_color_correction_filter.h"

using colorcorrect::g_HalfPi;
using colorcorrect::g_Pi;
using colorcorrect::g_TwoPi;
using colorcorrect::kMatchEdge;
using colorcorrect::kMatchInside;
using colorcorrect::kSixSegmentBoundaries;

BOOL CBaseColorCorrectionFilter::BuildSegmentIndex_six()
{
    // The index depends on constants only: built once per object.
    if (m_pSixIndex != nullptr)
        return 1;
    m_pSixIndex = AllocateSegmentIndex();
    if (m_pSixIndex == nullptr)
        return 0;

    double half[6];
    for (int i = 0; i < 5; ++i)
        half[i] = (kSixSegmentBoundaries[i + 1] - kSixSegmentBoundaries[i]) / 2;
    half[5] = (g_TwoPi + kSixSegmentBoundaries[0] - kSixSegmentBoundaries[5]) / 2;

    uint16_t* entry = m_pSixIndex;
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

// The vector a pair is accepted by, with its angular and radial positions
// (0 at the centre, 1 at the outer edge).
struct Selection {
    int vector = 0; // 0: none
    double an = 0;
    double rn = 0;
};

// Scores a pair against one vector; false when the pair lies outside it.
// strictHue makes the angular test exclude the wedge's own edge.
bool Position(const VectorShape& s, double theta, double r2, bool strictHue, double& an,
              double& rn)
{
    if (!s.usable)
        return false; // a zero-width wedge or ring selects nothing
    const double dTheta = AngleDistance(theta, s.theta);
    if (strictHue ? !(dTheta < s.alpha) : !(dTheta <= s.alpha))
        return false;
    if (!InRing(s, r2))
        return false;
    an = dTheta / s.alpha;
    rn = std::fabs(std::sqrt(r2) - s.radius) / s.satWidth;
    return true;
}

// The search of the normal selection: the closest vector (by the larger of
// its two positions) among 1..count-1, ties going to the later vector.
Selection Search(const VectorShape* shapes, int count, double theta, double r2)
{
    Selection best;
    double bestScore = 1.0;
    for (int i = 1; i < count; ++i) {
        double an, rn;
        if (!Position(shapes[i], theta, r2, false, an, rn))
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

    uint16_t* entry = m_pMatchIndex;
    for (int v = -128; v < 128; ++v) {
        for (int u = -128; u < 128; ++u) {
            const double theta = ChromaAngle(u, v);
            const double r2 = u * u + v * v;
            uint16_t value = 0;
            switch (type) {
            case 0: {
                const Selection sel = Search(shapes, count, theta, r2);
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
                    if (AngleDistance(theta, shapes[iv].theta) < shapes[iv].alpha)
                        value = static_cast<uint16_t>(iv | kMatchEdge);
                } else {
                    bool any = false;
                    for (int i = 1; i < count && !any; ++i)
                        any = AngleDistance(theta, shapes[i].theta) < shapes[i].alpha;
                    if (!any)
                        value = kMatchEdge;
                }
                break;
            case 4:
            case 5:
                // Saturation ring only.
                if (iv != 0) {
                    if (InRing(shapes[iv], r2))
                        value = static_cast<uint16_t>(iv | kMatchEdge);
                } else {
                    bool any = false;
                    for (int i = 1; i < count && !any; ++i)
                        any = InRing(shapes[i], r2);
                    if (!any)
                        value = kMatchEdge;
                }
                break;
            default: // 6 and 7: wedge and ring
                if (iv != 0) {
                    double an, rn;
                    if (Position(shapes[iv], theta, r2, true, an, rn) &&
                        (an > rn ? an : rn) <= 1.0)
                        value = VectorEntry(iv, DecidingEdge(shapes[iv], an, rn));
                } else {
                    const Selection sel = Search(shapes, count, theta, r2);
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
    return 1;
}
