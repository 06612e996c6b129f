// Shaping the selected match vector by dragging on the vector display: its
// position, its luma band and its angular and radial widths.

#include "color_correction_viewer.h"
#include "../records/field_catalogue.h"
#include "centre_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

using colorcorrect::VIEWER_NO_GESTURE;

using colorcorrect::kVectorCentreX;
using colorcorrect::kVectorCentreY;
// Mode 2 turns about the centre; a start point this close to the centre's
// row or column is moved away so that the turn has a usable radius.
constexpr int kTurnMargin = 5;
constexpr unsigned int kLastMode = 8;

// A vector's chroma stays within the range the engine clamps chroma to,
// -127..127, one step inside what its byte could hold.
int8_t Chroma(double value)
{
    return static_cast<int8_t>(std::clamp(std::trunc(value), -127.0, 127.0));
}

int8_t Chroma(int64_t value)
{
    return static_cast<int8_t>(std::clamp<int64_t>(value, -127, 127));
}

// Stores `value` in the vector's byte field `name`, limited to the range the
// field catalogue gives it (which the correction file checks too).
void SetByte(tagMATCHVECTOR& vector, const char* name, int64_t value)
{
    const colorcorrect::CorrectionField& field = *colorcorrect::FindField(colorcorrect::kMatchVectorGroup, name);
    colorcorrect::SetFieldValue(&vector, field, colorcorrect::ClampToField(field, value));
}

void SetByte(tagMATCHVECTOR& vector, const char* name, double value)
{
    SetByte(vector, name, static_cast<int64_t>(std::clamp(std::trunc(value), -1.0e9, 1.0e9)));
}

// The shaped vector slot of `cc`: not the background vector 0, and in use.
bool ShapeableVector(const tagCOLORCORRINFO& cc, unsigned int index)
{
    return index != 0 && index < std::min<uint32_t>(cc.Match.dwCount, 16);
}

// Moves the vector along its own direction to distance rn from the centre.
// A vector at the centre has no direction and stays.
void SetDistance(tagMATCHVECTOR& vector, double u, double v, double r, double rn)
{
    if (r == 0.0)
        return;
    vector.cU = Chroma(u / r * rn);
    vector.cV = Chroma(v / r * rn);
}

} // namespace

int CColorCorrectionViewer::BeginMatchAdjust(int x, int y, unsigned int nMode,
                                             tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || !ShapeableVector(cc, m_nIsolateVector))
        return 0;
    m_ccStart = cc;
    m_dwMatchMode = nMode;
    if (nMode == 2) {
        if (std::llabs(static_cast<int64_t>(x) - kVectorCentreX) < kTurnMargin)
            x = x < kVectorCentreX ? kVectorCentreX - kTurnMargin : kVectorCentreX + kTurnMargin;
        if (std::llabs(static_cast<int64_t>(y) - kVectorCentreY) < kTurnMargin)
            y = y < kVectorCentreY ? kVectorCentreY - kTurnMargin : kVectorCentreY + kTurnMargin;
    }
    m_nStartX = x;
    m_nStartY = y;
    return 1;
}

int CColorCorrectionViewer::MatchAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || m_nStartX == VIEWER_NO_GESTURE ||
        m_nStartY == VIEWER_NO_GESTURE || !ShapeableVector(m_ccStart, m_nIsolateVector))
        return 0;
    cc = m_ccStart;
    if (m_dwMatchMode > kLastMode)
        return 0;
    tagMATCHVECTOR& vector = cc.Match.Vector[m_nIsolateVector];

    // Vertical steps, up positive: d1 half the pixels, d2 a multiple of 2.
    const int64_t up = static_cast<int64_t>(m_nStartY) - y;
    const int64_t d1 = up / 2;
    const int64_t d2 = 2 * (up / 4);
    const double u = vector.cU;
    const double v = vector.cV;
    const double r = std::sqrt(u * u + v * v);

    switch (m_dwMatchMode) {
    case 0:
        vector.cU = Chroma(static_cast<int64_t>(x) - kVectorCentreX);
        vector.cV = Chroma(static_cast<int64_t>(kVectorCentreY) - y);
        break;
    case 1:
        SetByte(vector, "y", vector.byY + d1);
        break;
    case 2: {
        const colorcorrect::CentreSweep sweep = colorcorrect::SweepAboutCentre(m_nStartX, m_nStartY, x, y);
        // Near the centre the sweep has no direction. The start point is
        // kept away from it at Begin, unless another drag replaced it since.
        if (sweep.rb <= 1.0 || sweep.ra <= 1.0)
            break;
        const double theta = sweep.angle;
        const double c = std::cos(theta), s = std::sin(theta);
        vector.cU = Chroma(u * c + v * s);
        vector.cV = Chroma(v * c - u * s);
        break;
    }
    case 3:
        SetDistance(vector, u, v, r, r + static_cast<double>(d1));
        break;
    case 4:
        SetByte(vector, "hue_width", vector.byHueWidth + d1);
        break;
    case 5:
    case 6: {
        int64_t lo = static_cast<int64_t>(vector.byY) - vector.byYRange;
        int64_t hi = static_cast<int64_t>(vector.byY) + vector.byYRange;
        if (m_dwMatchMode == 5) {
            lo += d2;
            if (lo >= hi)
                lo = hi;
            else if (lo < 0)
                lo = 0;
        } else {
            hi += d2;
            if (hi <= lo)
                hi = lo;
            else if (hi > 255)
                hi = 255;
        }
        SetByte(vector, "y", (hi + lo) / 2);
        SetByte(vector, "y_range", (hi - lo) / 2);
        break;
    }
    case 7:
    case 8: {
        const double t = vector.bySatWidth;
        double lo = r - t;
        double hi = r + t;
        if (m_dwMatchMode == 7) {
            lo += static_cast<double>(d2);
            if (lo <= 0.0)
                lo = 0.0;
            if (lo >= hi)
                lo = hi;
        } else {
            hi += static_cast<double>(d2);
            if (hi <= lo)
                hi = lo;
        }
        SetDistance(vector, u, v, r, (hi + lo) / 2.0);
        SetByte(vector, "sat_width", (hi - lo) / 2.0);
        break;
    }
    default:
        break;
    }
    return 1;
}

int CColorCorrectionViewer::EndMatchAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || m_nStartX == VIEWER_NO_GESTURE ||
        m_nStartY == VIEWER_NO_GESTURE || !ShapeableVector(m_ccStart, m_nIsolateVector))
        return 0;
    MatchAdjust(x, y, cc);
    m_nStartX = VIEWER_NO_GESTURE;
    m_nStartY = VIEWER_NO_GESTURE;
    return 1;
}
