// Adjustment gestures of the viewer: the coupled levels/colour-balance drag,
// the hue/saturation drag round the vector display's centre and the drag on
// the histogram display's grid. Every move starts again from the record saved
// at Begin and the total displacement, so rounding never accumulates.

#include "color_correction_viewer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "../engine/angles.h"
#include "centre_sweep.h"
#include "../host/yuv_rgb.h"
#include "../records/field_catalogue.h"

namespace {

using colorcorrect::VIEWER_NO_GESTURE;

// Targets of the coupled and hue/saturation drags.
constexpr unsigned long kTargetPrimary = 0x1;
constexpr unsigned long kTargetSixVector = 0x2;
constexpr unsigned long kTargetMatchVector = 0x4;

// Value bits of the coupled drag.
constexpr unsigned long kRedBlack = 0x1, kRedGamma = 0x2, kRedWhite = 0x4;
constexpr unsigned long kGreenBlack = 0x10, kGreenGamma = 0x20, kGreenWhite = 0x40;
constexpr unsigned long kBlueBlack = 0x100, kBlueGamma = 0x200, kBlueWhite = 0x400;
constexpr unsigned long kLumaBlack = 0x1000, kLumaGamma = 0x2000, kLumaWhite = 0x4000;
constexpr unsigned long kChromaOffset = 0x10000;
// Value bits of the hue/saturation drag.
constexpr unsigned long kHue = 0x100000;
constexpr unsigned long kSat = 0x200000;

// Display geometry: the histogram grid.
constexpr int kDisplayWidth = 384, kDisplayHeight = 288;
constexpr int kCellWidth = 128, kCellHeight = 96;

bool MoreThanOneBit(unsigned long bits)
{
    return (bits & (bits - 1)) != 0;
}

bool Running(int startX, int startY)
{
    return startX != VIEWER_NO_GESTURE && startY != VIEWER_NO_GESTURE;
}

// The element a drag shapes (the primary correction, one hue segment or one
// match vector) and the catalogue of its fields, by which its packed fields
// are reached and limited.
struct Target {
    void* element;
    const colorcorrect::FieldGroup& group;
};

const colorcorrect::CorrectionField& Control(const Target& t, std::string_view name)
{
    return *colorcorrect::FindField(t.group, name);
}

// field = start value + step, limited to the field's range. Wide, so that no
// step from any pair of mouse coordinates overflows.
void AddClamped(const Target& t, std::string_view name, int64_t step)
{
    const colorcorrect::CorrectionField& f = Control(t, name);
    colorcorrect::SetFieldValue(
        t.element, f, colorcorrect::ClampToField(f, colorcorrect::GetFieldValue(t.element, f) + step));
}

// Hue turns round: a result that leaves -255..255 comes back in from the
// other end (510 units are a full turn). The gesture keeps to the narrower
// range of the other controls, not the hue field's own limit.
void AddWrapped(const Target& t, std::string_view name, int64_t step)
{
    constexpr int limit = colorcorrect::kControlLimit;
    const colorcorrect::CorrectionField& f = Control(t, name);
    int64_t hue = (colorcorrect::GetFieldValue(t.element, f) + step) % 510; // -509..509
    if (hue < -limit)
        hue += 510;
    else if (hue > limit)
        hue -= 510;
    colorcorrect::SetFieldValue(t.element, f, static_cast<int>(hue));
}

// The keys of the luma and hue/saturation controls of each target.
struct TargetFields {
    const char *black, *gamma, *white, *hue, *sat;
};

constexpr TargetFields kPrimaryFields = {"y_black", "y_gamma", "y_white", "hue", "sat"};
constexpr TargetFields kSegmentOrVectorFields = {"black", "gamma", "white", "hue", "sat"};

Target PrimaryTarget(tagCOLORCORRINFO& cc)
{
    return {colorcorrect::GroupElement(cc, colorcorrect::kBaseGroup, 0), colorcorrect::kBaseGroup};
}

Target SegmentTarget(tagCOLORCORRINFO& cc, unsigned int i)
{
    return {colorcorrect::GroupElement(cc, colorcorrect::kSegmentGroup, i),
            colorcorrect::kSegmentGroup};
}

// Luma black, gamma and white of the fields named by `flags` + step.
void AddLuma(const Target& t, const TargetFields& fields, unsigned long flags, int64_t step)
{
    if (flags & kLumaBlack)
        AddClamped(t, fields.black, step);
    if (flags & kLumaGamma)
        AddClamped(t, fields.gamma, step);
    if (flags & kLumaWhite)
        AddClamped(t, fields.white, step);
}

// Hue and saturation of the fields named by `flags` + their steps.
void AddHueSat(const Target& t, const TargetFields& fields, unsigned long flags, int hueStep,
               int satStep)
{
    if (flags & kHue)
        AddWrapped(t, fields.hue, hueStep);
    if (flags & kSat)
        AddClamped(t, fields.sat, satStep);
}

// The match vector `index` of `cc`, or null when that slot is not in use.
tagMATCHVECTOR* UsedMatchVector(tagCOLORCORRINFO& cc, unsigned int index)
{
    const uint32_t used = std::min<uint32_t>(cc.Match.dwCount, colorcorrect::kMatchVectorSlots);
    return index < used ? &cc.Match.Vector[index] : nullptr;
}

Target MatchTarget(tagMATCHVECTOR& vector)
{
    return {&vector, colorcorrect::kMatchVectorGroup};
}

// Any n from here on already maps to the top of the range (the root of
// 128 * (e^p + p - 1) = n lies above 255 / 128 from n = 1066 on, and the
// iteration only approaches it from above); capping keeps e^p finite.
constexpr double kSatStepCap = 4096.0;

} // namespace

int CColorCorrectionViewer::GetSatAdjust(double r)
{
    if (std::isnan(r))
        return 0;
    double linear = 255.0 * r - 255.0;
    if (linear <= -255.0)
        return -255;
    if (linear > kSatStepCap)
        linear = kSatStepCap;
    const int n = static_cast<int>(linear);
    if (n < 1)
        return n;

    const auto f = [n](double p) { return 128.0 * (std::exp(p) + p - 1.0) - n; };
    double p = n / 128.0;
    double fp = f(p);
    for (int i = 0; i < 20; ++i) {
        if (std::fabs(fp) < 1e-6)
            break;
        const double pPrev = p;
        const double fPrev = fp;
        p -= fp / (128.0 * (std::exp(p) + 1.0));
        fp = f(p);
        // The Newton step overshot the root: a secant step through both
        // points lands between them.
        if (fp * fPrev < 0.0) {
            p -= fp / ((fp - fPrev) / (p - pPrev));
            fp = f(p);
        }
    }
    const double step = 128.0 * p;
    return step >= 255.0 ? 255 : static_cast<int>(step);
}

// ---- coupled adjustment -------------------------------------------------------

int CColorCorrectionViewer::BeginCoupledAdjust(int x, int y, unsigned long dwTarget,
                                               unsigned long dwValues, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || MoreThanOneBit(dwTarget))
        return 0;
    m_nStartX = x;
    m_nStartY = y;
    m_dwAdjustFlags = dwValues;
    m_dwAdjustTarget = dwTarget;
    m_ccStart = cc;
    return 1;
}

int CColorCorrectionViewer::CoupledAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (m_dwAdjustFlags == 0 || !Running(m_nStartX, m_nStartY))
        return 0;
    cc = m_ccStart;
    const int64_t dx = static_cast<int64_t>(x) - m_nStartX;
    const int64_t dy = static_cast<int64_t>(m_nStartY) - y; // up is positive
    const int64_t u = dx / 3;
    const int64_t v = dy / 3;
    const unsigned long flags = m_dwAdjustFlags;

    switch (m_dwAdjustTarget) {
    case kTargetPrimary: {
        const Target base = PrimaryTarget(cc);
        AddLuma(base, kPrimaryFields, flags, v);
        // The drag read as a chroma shift (U = u, V = v) through the
        // YUV-to-RGB matrix, in 64 bits: a long drag makes large chroma.
        const int64_t r = colorcorrect::RoundOver512(colorcorrect::ChromaTermOfRgb(0, u, v));
        const int64_t g = colorcorrect::RoundOver512(colorcorrect::ChromaTermOfRgb(1, u, v));
        const int64_t b = colorcorrect::RoundOver512(colorcorrect::ChromaTermOfRgb(2, u, v));
        const struct {
            unsigned long bit;
            const char* field;
            int64_t step;
        } colour[] = {
            {kRedBlack, "r_black", r},   {kRedGamma, "r_gamma", r},   {kRedWhite, "r_white", r},
            {kGreenBlack, "g_black", g}, {kGreenGamma, "g_gamma", g}, {kGreenWhite, "g_white", g},
            {kBlueBlack, "b_black", b},  {kBlueGamma, "b_gamma", b},  {kBlueWhite, "b_white", b},
        };
        for (const auto& c : colour)
            if (flags & c.bit)
                AddClamped(base, c.field, c.step);
        break;
    }
    case kTargetSixVector:
        if (m_n6Vector >= 6)
            return 0;
        AddLuma(SegmentTarget(cc, m_n6Vector), kSegmentOrVectorFields, flags, v);
        break;
    case kTargetMatchVector: {
        // A slot that is not in use holds no vector the host would see
        // changed; shaping it would only store values nobody applies.
        tagMATCHVECTOR* vector = UsedMatchVector(cc, m_nIsolateVector);
        if (vector == nullptr)
            return 0;
        AddLuma(MatchTarget(*vector), kSegmentOrVectorFields, flags, v);
        if (flags & kChromaOffset) {
            // Whole pixels: the offsets move the colour on the vector display.
            AddClamped(MatchTarget(*vector), "u_offset", dx);
            AddClamped(MatchTarget(*vector), "v_offset", dy);
        }
        break;
    }
    default:
        break;
    }
    return 1;
}

int CColorCorrectionViewer::EndCoupledAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (m_dwAdjustFlags == 0 || !Running(m_nStartX, m_nStartY))
        return 0;
    CoupledAdjust(x, y, cc);
    m_dwAdjustFlags = 0;
    m_nStartX = VIEWER_NO_GESTURE;
    m_nStartY = VIEWER_NO_GESTURE;
    return 1;
}

// ---- hue and saturation -------------------------------------------------------

int CColorCorrectionViewer::BeginHueSatAdjust(int x, int y, unsigned long dwTarget,
                                              unsigned long dwValues, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || MoreThanOneBit(dwTarget) ||
        (dwValues & (kHue | kSat)) == 0)
        return 0;
    m_nStartX = x;
    m_nStartY = y;
    m_ccStart = cc;
    m_dwAdjustTarget = dwTarget;
    m_dwAdjustFlags = dwValues & (kHue | kSat);
    return 1;
}

int CColorCorrectionViewer::HueSatAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || !Running(m_nStartX, m_nStartY))
        return 0;
    cc = m_ccStart;

    const colorcorrect::CentreSweep sweep = colorcorrect::SweepAboutCentre(m_nStartX, m_nStartY, x, y);
    const double ra = sweep.ra, rb = sweep.rb;
    if (ra < 2.0)
        return 0;
    const int hueStep = rb > 2.0 ? static_cast<int>(sweep.angle / colorcorrect::g_Pi * 255.0) : 0;
    const int satStep = GetSatAdjust(rb / ra);

    switch (m_dwAdjustTarget) {
    case kTargetPrimary:
        AddHueSat(PrimaryTarget(cc), kPrimaryFields, m_dwAdjustFlags, hueStep, satStep);
        break;
    case kTargetSixVector:
        if (m_n6Vector >= 6)
            return 0;
        AddHueSat(SegmentTarget(cc, m_n6Vector), kSegmentOrVectorFields, m_dwAdjustFlags, hueStep,
                  satStep);
        break;
    case kTargetMatchVector: {
        tagMATCHVECTOR* vector = UsedMatchVector(cc, m_nIsolateVector);
        if (vector == nullptr)
            return 0;
        AddHueSat(MatchTarget(*vector), kSegmentOrVectorFields, m_dwAdjustFlags, hueStep, satStep);
        break;
    }
    default:
        break;
    }
    return 1;
}

int CColorCorrectionViewer::EndHueSatAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || !Running(m_nStartX, m_nStartY))
        return 0;
    HueSatAdjust(x, y, cc);
    m_nStartX = VIEWER_NO_GESTURE;
    m_nStartY = VIEWER_NO_GESTURE;
    return 1;
}

// ---- histogram ----------------------------------------------------------------

int CColorCorrectionViewer::BeginHistAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || x < 0 || x >= kDisplayWidth || y < 0 ||
        y >= kDisplayHeight)
        return 0;
    m_nStartX = x;
    m_nStartY = y;
    m_ccStart = cc;
    return 1;
}

int CColorCorrectionViewer::HistAdjust(int x, int /*y*/, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || !Running(m_nStartX, m_nStartY))
        return 0;
    // The start point may be another drag's, anywhere: only a point on the
    // grid names a control.
    if (m_nStartX < 0 || m_nStartX >= kDisplayWidth || m_nStartY < 0 ||
        m_nStartY >= kDisplayHeight)
        return 0;
    cc = m_ccStart;
    // Rows red, green, blue; columns black, gamma, white.
    constexpr const char* cells[3][3] = {
        {"r_black", "r_gamma", "r_white"},
        {"g_black", "g_gamma", "g_white"},
        {"b_black", "b_gamma", "b_white"},
    };
    const int column = m_nStartX / kCellWidth;
    const int row = m_nStartY / kCellHeight;
    AddClamped(PrimaryTarget(cc), cells[row][column], (static_cast<int64_t>(x) - m_nStartX) / 3);
    return 1;
}

int CColorCorrectionViewer::EndHistAdjust(int x, int y, tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO) || !Running(m_nStartX, m_nStartY))
        return 0;
    HistAdjust(x, y, cc);
    m_nStartX = VIEWER_NO_GESTURE;
    m_nStartY = VIEWER_NO_GESTURE;
    return 1;
}
