#include "channel_histogram_match.h"

#include <algorithm>
#include <cmath>

#include "../engine/base_color_correction_filter.h"
#include "channel_curve_fit.h"
#include "histogram_clusters.h"
#include "histogram_correlation.h"
#include "power_curve_fit.h"

namespace {

using colorcorrect::HISTOGRAM_WORK_FIRST;
using colorcorrect::HISTOGRAM_WORK_LAST;

constexpr int kWorkEnd = HISTOGRAM_WORK_LAST + 1; // exclusive end of the working range
constexpr int kControlLimit = 255;

// Clamps first, so that the conversion is always defined (NaN gives 0).
int LimitControl(double x)
{
    if (std::isnan(x))
        return 0;
    return static_cast<int>(std::clamp(x, double{-kControlLimit}, double{kControlLimit}));
}

// Count-weighted mean of the values first..end-1 and their count; 0
// when the range is empty or holds no counts.
bool RangeMean(const uint32_t* hist, int first, int end, double& mean, double& count)
{
    double sum = 0.0, moment = 0.0;
    for (int v = first; v < end; ++v) {
        sum += hist[v];
        moment += static_cast<double>(hist[v]) * v;
    }
    count = sum;
    if (sum <= 0.0)
        return false;
    mean = moment / sum;
    return true;
}

int Lag(CFFTransform& fft, const uint32_t* ref, const uint32_t* src, int r0, int r1, int s0,
        int s1)
{
    return colorcorrect::SignedLag(CorrelateHistograms(fft, ref, src, r0, r1, s0, s1),
                                   static_cast<int>(fft.GetSize()));
}

struct Curve {
    int black = 0, gamma = 0, white = 0;
};

Curve OneCluster(const uint32_t* ref, const uint32_t* src, int lag)
{
    Curve chosen;
    int g = 0;
    if (!GammaFromMean(src, lag, g))
        g = 0;
    chosen.gamma = g;
    const uint64_t baseline = colorcorrect::CurveOverlap(ref, src, 0, g, 0);

    // Every candidate has to beat the first one, not the best so far.
    auto offer = [&](const Curve& c) {
        if (colorcorrect::CurveOverlap(ref, src, c.black, c.gamma, c.white) > baseline)
            chosen = c;
    };
    offer(Curve{lag, 0, lag});

    // Peak of the source: the 4-value window with the most counts.
    int peak = HISTOGRAM_WORK_FIRST;
    uint64_t best = 0;
    for (int start = HISTOGRAM_WORK_FIRST; start <= 224; start += 4) {
        const uint64_t sum = uint64_t{src[start]} + src[start + 1] + src[start + 2] + src[start + 3];
        if (sum > best) {
            best = sum;
            peak = start + 2;
        }
    }
    const double p = peak;
    // A black offset that moves the peak by lag (white kept), then a white
    // offset that does (black kept).
    const double black = std::trunc(256.0 - 256.0 * (256.0 - p + lag) / (256.0 - p));
    if (black >= -254 && black <= 254)
        offer(Curve{static_cast<int>(black), 0, 0});
    const double white = std::trunc(256.0 * (p + lag) / p - 256.0);
    if (white >= -254 && white <= 254)
        offer(Curve{0, 0, static_cast<int>(white)});
    return chosen;
}

Curve TwoClusters(CFFTransform& fft, const uint32_t* ref, const uint32_t* src, int r0, int s0)
{
    const int lagA = Lag(fft, ref, src, HISTOGRAM_WORK_FIRST, r0, HISTOGRAM_WORK_FIRST, s0);
    const int lagB = Lag(fft, ref, src, r0, kWorkEnd, s0, kWorkEnd);
    double meanA = 0, meanB = 0, count = 0;
    if (!RangeMean(src, HISTOGRAM_WORK_FIRST, s0, meanA, count) ||
        !RangeMean(src, s0, kWorkEnd, meanB, count))
        return Curve{};
    const double mA = std::trunc(meanA + 0.5);
    const double mB = std::trunc(meanB + 0.5);
    if (mB == mA)
        return Curve{};
    // The straight line through both shifted cluster means, read at 0 and 256.
    const double k = (mB + lagB - mA - lagA) / (mB - mA);
    Curve c;
    c.black = LimitControl(std::trunc(mA + lagA - mA * k + 0.5));
    c.white = LimitControl(std::trunc((256.0 - mB) * k + mB + lagB - 256.0 + 0.5));
    return c;
}

Curve ThreeClusters(CFFTransform& fft, const uint32_t* ref, const uint32_t* src, const int r[2],
                    const int sb[2])
{
    const int lag[3] = {Lag(fft, ref, src, HISTOGRAM_WORK_FIRST, r[0], HISTOGRAM_WORK_FIRST, sb[0]),
                        Lag(fft, ref, src, r[0], r[1], sb[0], sb[1]),
                        Lag(fft, ref, src, r[1], kWorkEnd, sb[1], kWorkEnd)};
    const int first = std::max(sb[0], HISTOGRAM_WORK_FIRST);
    const int edges[4] = {HISTOGRAM_WORK_FIRST, first, std::max(sb[1], first), kWorkEnd};
    double t[3], s[3], n[3];
    for (int i = 0; i < 3; ++i) {
        double mean = 0;
        if (!RangeMean(src, edges[i], edges[i + 1], mean, n[i]))
            return Curve{};
        t[i] = mean / 256.0;
        s[i] = (mean + lag[i]) / 256.0;
    }

    Curve c;
    const bool monotonic = (s[0] < s[1] && s[1] < s[2]) || (s[0] > s[1] && s[1] > s[2]);
    double b = 0, w = 0, p = 0;
    if (monotonic && colorcorrect::FitPowerCurve(t, s, b, w, p)) {
        c.black = static_cast<int>(std::trunc(256.0 * b + 0.5));
        c.white = static_cast<int>(std::trunc(256.0 * w + 0.5));
        c.gamma = colorcorrect::GammaControlValue(p);
        return c;
    }
    if (0.7 * n[1] > n[0] && 0.7 * n[1] > n[2]) {
        // The middle cluster dominates: a pure gamma through it.
        if (s[1] > 0.0 && s[1] != 1.0) {
            const double g = std::log(t[1]) / std::log(s[1]);
            c.gamma = LimitControl(colorcorrect::GammaControlValue(g));
        }
        return c;
    }
    const double m = (s[2] - s[0]) / (t[2] - t[0]);
    c.black = LimitControl(std::trunc(256.0 * (s[0] - m * t[0]) + 0.5));
    c.white = LimitControl(std::trunc(256.0 * ((1.0 - t[2]) * m + s[2] - 1.0) + 0.5));
    return c;
}

} // namespace

namespace colorcorrect {

uint64_t CurveOverlap(const uint32_t* ref, const uint32_t* src, int black, int gamma, int white)
{
    BYTE lut[256];
    CBaseColorCorrectionFilter::BuildYLUT(lut, black, gamma, white, 0);
    uint64_t mapped[256] = {};
    for (int v = 0; v < 256; ++v)
        mapped[lut[v]] += src[v];
    uint64_t score = 0;
    for (int v = 0; v < 256; ++v)
        score += uint64_t{ref[v]} * mapped[v];
    return score;
}

} // namespace colorcorrect

BOOL GammaFromMean(const uint32_t* hist, int lag, int& gamma)
{
    gamma = 0;
    double mean = 0, count = 0;
    if (!RangeMean(hist, HISTOGRAM_WORK_FIRST, kWorkEnd, mean, count))
        return 0;
    const double m = std::trunc(mean + 0.5);
    const double t = m + lag;
    // At 256 the logarithm is 0, above it the exponent would turn negative.
    if (t <= 0.0 || t >= 256.0)
        return 0;
    const double g = std::log(m / 256.0) / std::log(t / 256.0);
    gamma = LimitControl(colorcorrect::GammaControlValue(g));
    return 1;
}

void MatchChannelHistogram(CFFTransform& fft, const uint32_t* ref, const uint32_t* src,
                           int16_t& black, int16_t& gamma, int16_t& white)
{
    black = gamma = white = 0;
    if (fft.GetSize() == 0)
        return;
    colorcorrect::HistogramClusters refClusters = colorcorrect::FindClusterList(ref);
    colorcorrect::HistogramClusters srcClusters = colorcorrect::FindClusterList(src);
    if (refClusters.nCount > 4 || srcClusters.nCount > 4)
        return;

    const int n = std::min(refClusters.nCount, srcClusters.nCount);
    int r[2] = {HISTOGRAM_WORK_FIRST, HISTOGRAM_WORK_FIRST};
    int s[2] = {HISTOGRAM_WORK_FIRST, HISTOGRAM_WORK_FIRST};
    // A four-cluster side has no boundaries of its own: merge it down first.
    // Two against three keeps each side's own first boundary.
    if (refClusters.nCount == 4 && (n == 2 || n == 3))
        colorcorrect::MergeClusters(refClusters, n);
    if (srcClusters.nCount == 4 && (n == 2 || n == 3))
        colorcorrect::MergeClusters(srcClusters, n);
    colorcorrect::ClusterBoundaries(refClusters, r);
    colorcorrect::ClusterBoundaries(srcClusters, s);

    Curve c;
    switch (n) {
    case 1:
        c = OneCluster(ref, src, Lag(fft, ref, src, HISTOGRAM_WORK_FIRST, kWorkEnd,
                                     HISTOGRAM_WORK_FIRST, kWorkEnd));
        break;
    case 2:
        c = TwoClusters(fft, ref, src, r[0], s[0]);
        break;
    case 3:
        c = ThreeClusters(fft, ref, src, r, s);
        break;
    default: {
        const int lag =
            Lag(fft, ref, src, HISTOGRAM_WORK_FIRST, kWorkEnd, HISTOGRAM_WORK_FIRST, kWorkEnd);
        int g = 0;
        if (GammaFromMean(src, lag, g))
            c.gamma = g;
        else
            c.black = c.white = LimitControl(lag);
        break;
    }
    }
    black = static_cast<int16_t>(c.black);
    gamma = static_cast<int16_t>(c.gamma);
    white = static_cast<int16_t>(c.white);
}
