// Match vectors taken from picture regions, widened by further regions and
// set to carry their colour to a reference colour; averaged point samples.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "../engine/angles.h"
#include "../host/yuv_rgb.h"
#include "../viewer/color_correction_viewer.h"
#include "region_pixels.h"

namespace {

constexpr int kHueBins = 512;
constexpr int kHalfHueBins = 256;
// Smallest hue half-width a vector taken from a region gets, in hue bins.
constexpr int kMinimumHueWidth = 3;
// A radius or luma counts once more than 1 / kRangeShare of the pixels have it.
constexpr unsigned kRangeShare = 5120;

// Clamps first, so that the conversion is always defined (NaN gives lo).
int LimitToInt(double x, int lo, int hi)
{
    if (!(x >= lo))
        return lo;
    if (x > hi)
        return hi;
    return static_cast<int>(x);
}

int HueBin(double angle)
{
    return static_cast<int>(angle * kHueBins / colorcorrect::g_TwoPi + 0.5) % kHueBins;
}

// Signed bin difference i - p in -255..256.
int BinDifference(int i, int p)
{
    int d = i - p;
    if (d > kHalfHueBins)
        d -= kHueBins;
    else if (d <= -kHalfHueBins)
        d += kHueBins;
    return d;
}

// Distance between two bins the shorter way round, 0..256.
int BinDistance(int i, int p)
{
    const int d = BinDifference(i, p);
    return d < 0 ? -d : d;
}

double SoftFactor(uint8_t softness)
{
    return 1.0 - softness / 256.0;
}

} // namespace

int CColorCorrectionViewer::GetMatchVector(tagMATCHVECTOR& mv, tagRECT* rc)
{
    if (rc == nullptr || static_cast<const tagDIBINFO*>(m_dibSource) == nullptr)
        return 0;
    tagRECT rect = *rc;
    if (!PrepareMatchRect(rect, m_dibSource.GetWidth(), m_dibSource.GetHeight()))
        return 0;
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    CVoraDib part = m_dibSource.GetDIB(rect.left, rect.top, w, h);
    if (static_cast<const BYTE*>(part) == nullptr)
        return 0;

    // Analyse the region as the user sees it, but before match vectors (which
    // the analysis is about to define) and output clipping.
    tagCOLORCORRINFO seen = m_ccCurrent;
    seen.dwFlags &= CC_PRIMARY | CC_SIX_VECTOR;
    if (m_filter.SetupFilter(seen))
        m_filter.Process(part, part);
    m_filter.SetupFilter(m_ccCurrent);

    uint32_t luma[256] = {};
    uint32_t saturation[256] = {};
    uint64_t hue[kHueBins] = {};
    colorcorrect::ForEachYuvPixel(part, [&](int y, int u, int v) {
        const int r = static_cast<int>(std::sqrt(static_cast<double>(u * u + v * v)));
        luma[y] += 1;
        saturation[r] += 1;
        hue[HueBin(ChromaAngle(u, v))] += static_cast<uint64_t>(r);
    });

    // Hue centre and spread, weighted by chroma radius.
    int peak = 0;
    for (int i = 1; i < kHueBins; ++i)
        if (hue[i] > hue[peak])
            peak = i;
    uint64_t total = 0;
    int64_t moment = 0;
    for (int i = 0; i < kHueBins; ++i) {
        total += hue[i];
        moment += static_cast<int64_t>(hue[i]) * BinDifference(i, peak);
    }
    int centre = 0;
    double hueWidth = kMinimumHueWidth;
    if (total != 0) {
        centre = peak + static_cast<int>(moment / static_cast<int64_t>(total));
        centre = ((centre % kHueBins) + kHueBins) % kHueBins;
        uint64_t spread = 0;
        for (int i = 0; i < kHueBins; ++i) {
            const uint64_t d = static_cast<uint64_t>(BinDistance(i, centre));
            spread += hue[i] * d * d;
        }
        spread /= total;
        const int w0 = std::max(
            static_cast<int>(4.0 * std::sqrt(static_cast<double>(spread))), kMinimumHueWidth);
        hueWidth = std::trunc(w0 / SoftFactor(mv.byHueSoft));
    }

    const unsigned threshold = static_cast<unsigned>(w) * static_cast<unsigned>(h) / kRangeShare;
    auto range = [threshold](const uint32_t* counts, unsigned& lo, unsigned& hi) {
        lo = hi = 0;
        bool found = false;
        for (unsigned i = 0; i < 256; ++i)
            if (counts[i] > threshold) {
                if (!found)
                    lo = i;
                hi = i;
                found = true;
            }
    };
    unsigned minSat, maxSat, minY, maxY;
    range(saturation, minSat, maxSat);
    range(luma, minY, maxY);
    const unsigned satHalf = (maxSat - minSat + 1) >> 1;
    const unsigned yHalf = (maxY - minY + 1) >> 1;
    const unsigned satCentre = minSat + satHalf;
    const unsigned yCentre = minY + yHalf;

    // Rounded to whole chroma steps and kept within the signed bytes.
    const double theta = centre * colorcorrect::g_TwoPi / kHueBins;
    const int cU =
        LimitToInt(std::cos(theta) * satCentre + 512.5, 512 - 128, 512 + 127) - 512;
    const int cV =
        LimitToInt(std::sin(theta) * satCentre + 512.5, 512 - 128, 512 + 127) - 512;

    // Widen the wedge by the angle lost in rounding (and limiting) the colour.
    const double colourBin = ChromaAngle(cU, cV) * kHueBins / colorcorrect::g_TwoPi;
    double lost = std::fabs(centre - colourBin);
    if (lost > kHalfHueBins)
        lost = kHueBins - lost;

    mv.byY = static_cast<uint8_t>(std::min(yCentre, 255u));
    mv.cU = static_cast<int8_t>(cU);
    mv.cV = static_cast<int8_t>(cV);
    mv.byYRange = static_cast<uint8_t>(std::min(yHalf, 255u));
    mv.bySatWidth = static_cast<uint8_t>(LimitToInt(satHalf / SoftFactor(mv.bySatSoft) + 2.0, 0, 255));
    mv.byHueWidth = static_cast<uint8_t>(LimitToInt(hueWidth + std::trunc(lost + 0.5), 0, 255));
    return 1;
}

int CColorCorrectionViewer::AddToMatchVector(tagMATCHVECTOR& mv, tagRECT* rc)
{
    // The new region is analysed with mv's own softness, which the merge
    // below takes out again with the same factors.
    tagMATCHVECTOR n = mv;
    if (!GetMatchVector(n, rc))
        return 0;

    const int yLo = std::min(mv.byY - mv.byYRange, n.byY - n.byYRange);
    const int yHi = std::max(mv.byY + mv.byYRange, n.byY + n.byYRange);
    const int yc = std::clamp((yHi + yLo) / 2, 0, 255);
    const int yRange = std::clamp(std::max(yHi - yc, yc - yLo), 0, 255);

    const double kH1 = SoftFactor(mv.byHueSoft), kS1 = SoftFactor(mv.bySatSoft);
    const double kH2 = SoftFactor(n.byHueSoft), kS2 = SoftFactor(n.bySatSoft);
    const double pi = colorcorrect::g_Pi;

    // Hue wedges, both measured on the branch of the first vector's angle.
    const double t1 = ChromaAngle(mv.cU, mv.cV);
    const double t2 = ChromaAngle(n.cU, n.cV);
    const double d = AngleDifference(t2, t1);
    const double w1 = mv.byHueWidth * pi / 256 * kH1;
    const double w2 = n.byHueWidth * pi / 256 * kH2;
    const double lo = std::min(t1 - w1, t1 + d - w2);
    const double hi = std::max(t1 + w1, t1 + d + w2);
    const double middle = (lo + hi) / 2;

    const double r1 = std::hypot(static_cast<double>(mv.cU), static_cast<double>(mv.cV));
    const double r2 = std::hypot(static_cast<double>(n.cU), static_cast<double>(n.cV));
    const double s1 = mv.bySatWidth * kS1, s2 = n.bySatWidth * kS2;
    const double rlo = std::min(r1 - s1, r2 - s2);
    const double rhi = std::max(r1 + s1, r2 + s2);
    const double rm = (rlo + rhi) / 2;

    const int cU = LimitToInt(std::cos(middle) * rm, -128, 127);
    const int cV = LimitToInt(std::sin(middle) * rm, -128, 127);
    // The stored colour's angle, on the same branch as the merged wedge.
    const double tn = middle + AngleDifference(ChromaAngle(cU, cV), middle);
    const double rn = std::hypot(static_cast<double>(cU), static_cast<double>(cV));

    mv.byY = static_cast<uint8_t>(yc);
    mv.byYRange = static_cast<uint8_t>(yRange);
    mv.cU = static_cast<int8_t>(cU);
    mv.cV = static_cast<int8_t>(cV);
    const double hueUp = (hi - tn) / kH1 * 256 / pi + 1;
    const double hueDown = (tn - lo) / kH1 * 256 / pi + 1;
    mv.byHueWidth = static_cast<uint8_t>(
        std::max(LimitToInt(hueUp, 0, 255), LimitToInt(hueDown, 0, 255)));
    const double satUp = (rhi - rn) / kS1 + 1;
    const double satDown = (rn - rlo) / kS1 + 1;
    mv.bySatWidth = static_cast<uint8_t>(
        std::max(LimitToInt(satUp, 0, 255), LimitToInt(satDown, 0, 255)));
    return 1;
}

int CColorCorrectionViewer::SetMatchVectorTo(tagMATCHVECTOR& mv, tagRECT* rc)
{
    if (rc == nullptr || static_cast<const tagDIBINFO*>(m_dibReference) == nullptr)
        return 0;
    tagRECT rect = *rc;
    const int height = m_dibReference.GetHeight();
    int Y = 0, U = 0, V = 0;
    if (!PrepareMatchRect(rect, m_dibReference.GetWidth(), height)) {
        GetPixelAveraged(m_dibReference, rect.left, rect.top, Y, U, V);
    } else {
        const BYTE* pixels = m_dibReference;
        if (pixels == nullptr)
            return 0;
        unsigned pixelStep = 0, lineStep = 0;
        m_dibReference.GetIncrements(pixelStep, lineStep);
        uint64_t sum[3] = {};
        uint64_t count = 0;
        // Rows below the top edge down to the bottom edge (both within the
        // picture after the preparation), columns left to right - 1.
        for (int row = rect.top + 1; row <= rect.bottom; ++row) {
            const BYTE* p = pixels + static_cast<size_t>(height - 1 - row) * lineStep +
                            static_cast<size_t>(rect.left) * pixelStep;
            for (int x = rect.left; x < rect.right; ++x, p += pixelStep) {
                sum[0] += p[0];
                sum[1] += p[1];
                sum[2] += p[2];
                ++count;
            }
        }
        Y = static_cast<int>(sum[0] / count);
        U = static_cast<int>(sum[1] / count) - 128;
        V = static_cast<int>(sum[2] / count) - 128;
    }

    const double r1 = std::hypot(static_cast<double>(mv.cU), static_cast<double>(mv.cV));
    const double r2 = std::hypot(static_cast<double>(U), static_cast<double>(V));
    if (r1 < 2.0) {
        // A nearly neutral vector has no hue to turn: shift its colour instead.
        mv.sHue = 0;
        mv.sSat = 0;
        mv.sUOffset = static_cast<int16_t>(U - mv.cU);
        mv.sVOffset = static_cast<int16_t>(V - mv.cV);
    } else {
        mv.sUOffset = 0;
        mv.sVOffset = 0;
        int hue = 0;
        if (r2 > 2.0) {
            const double cosine = std::clamp((mv.cU * U + mv.cV * V) / (r2 * r1), -1.0, 1.0);
            hue = static_cast<int>(std::acos(cosine) / colorcorrect::g_Pi * 255);
            if (mv.cU * V - mv.cV * U > 0)
                hue = -hue;
        }
        mv.sHue = static_cast<int16_t>(hue);
        mv.sSat = static_cast<int16_t>(GetSatAdjust(r2 / r1));
    }

    const int L = mv.byY;
    if (L > 85 && L < 170 && Y > 0) {
        mv.sWhite = 0;
        mv.sBlack = 0;
        const double g = std::log(L / 256.0) / std::log(Y / 256.0);
        const double control = g < 1 ? (g - 1) * 260 : (g - 1) * 50;
        if (control > -255 && control < 255) {
            mv.sGamma = static_cast<int16_t>(control);
            return 1;
        }
    }
    mv.sGamma = 0;
    if (L < 128) {
        mv.sWhite = 0;
        mv.sBlack = static_cast<int16_t>(
            LimitToInt(Y - L * (256.0 - Y) / (256.0 - L), -255, 255));
    } else {
        mv.sBlack = 0;
        mv.sWhite = static_cast<int16_t>(
            LimitToInt((256.0 - L) * Y / L + Y - 256.0, -255, 255));
    }
    return 1;
}

int CColorCorrectionViewer::GetPixelAveragedYUV(int x, int y, int& Y, int& U, int& V,
                                                int bReference)
{
    const CVoraDib& dib = bReference ? m_dibReference : m_dibSource;
    if (static_cast<const BYTE*>(dib) == nullptr)
        return 0;
    return GetPixelAveraged(dib, x, y, Y, U, V);
}

int CColorCorrectionViewer::GetPixelAveragedRGB(int x, int y, int& R, int& G, int& B,
                                                int bReference)
{
    int Y = 0, U = 0, V = 0;
    if (!GetPixelAveragedYUV(x, y, Y, U, V, bReference))
        return 0;
    const colorcorrect::RgbValue rgb = colorcorrect::YuvToRgb(Y, U, V);
    R = rgb.r;
    G = rgb.g;
    B = rgb.b;
    return 1;
}
