// Fitting one channel curve from two value histograms.

#include <colorcorrect/colorcorrect.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

struct Result {
    int black, gamma, white;
};

Result Match(const std::vector<uint32_t>& ref, const std::vector<uint32_t>& src)
{
    CFFTransform fft;
    EXPECT_EQ(fft.Init(512), 1);
    int16_t b = 99, g = 99, w = 99;
    MatchChannelHistogram(fft, ref.data(), src.data(), b, g, w);
    return Result{b, g, w};
}

// A hill of `mass` counts around `centre` (a triangle 9 values wide).
void AddHill(std::vector<uint32_t>& h, int centre, uint32_t mass)
{
    const int weights[9] = {1, 2, 3, 4, 5, 4, 3, 2, 1}; // sum 25
    for (int i = 0; i < 9; ++i)
        h[centre - 4 + i] += mass * weights[i] / 25;
}

std::vector<uint32_t> Shifted(const std::vector<uint32_t>& h, int by)
{
    std::vector<uint32_t> out(h.size(), 0);
    for (int v = 0; v < static_cast<int>(h.size()); ++v)
        if (v + by >= 0 && v + by < static_cast<int>(h.size()))
            out[v + by] = h[v];
    return out;
}

TEST(MatchChannelHistogram, IdenticalHistogramsGiveANeutralChannelForEveryClusterCount)
{
    // Hills centred in coarse bins (35 + 30k); separate hills need falling
    // bins between them, so the later ones are lighter.
    const std::vector<std::vector<std::pair<int, uint32_t>>> hills = {
        {{125, 2500}},
        {{65, 5000}, {185, 5000}},
        {{35, 3000}, {125, 2500}, {215, 2000}},
        {{35, 4000}, {95, 3000}, {155, 2000}, {215, 1000}}};
    for (const auto& list : hills) {
        std::vector<uint32_t> h(512, 0);
        for (const auto& [centre, mass] : list)
            AddHill(h, centre, mass);
        int b[2];
        ASSERT_EQ(FindHistogramClusters(h.data(), b), static_cast<int>(list.size()));
        const Result r = Match(h, h);
        EXPECT_EQ(r.black, 0) << list.size() << " clusters";
        EXPECT_EQ(r.gamma, 0) << list.size() << " clusters";
        EXPECT_EQ(r.white, 0) << list.size() << " clusters";
    }
}

TEST(MatchChannelHistogram, MoreThanFourClustersGiveANeutralChannel)
{
    std::vector<uint32_t> ref(512, 0), src(512, 0);
    for (int v = 0; v < 20; ++v)
        src[v] = 1000; // all outside the working range: 7 clusters
    AddHill(ref, 100, 5000);
    const Result r = Match(ref, src);
    EXPECT_EQ(r.black, 0);
    EXPECT_EQ(r.gamma, 0);
    EXPECT_EQ(r.white, 0);
    const Result back = Match(src, ref);
    EXPECT_EQ(back.black, 0);
    EXPECT_EQ(back.gamma, 0);
    EXPECT_EQ(back.white, 0);
}

TEST(MatchChannelHistogram, TwoShiftedClustersGiveThatShiftAtBothEnds)
{
    std::vector<uint32_t> src(512, 0);
    AddHill(src, 60, 5000);
    AddHill(src, 170, 5000);
    const std::vector<uint32_t> ref = Shifted(src, 12);
    int b[2];
    ASSERT_EQ(FindHistogramClusters(src.data(), b), 2);
    ASSERT_EQ(FindHistogramClusters(ref.data(), b), 2);
    const Result r = Match(ref, src);
    EXPECT_EQ(r.black, 12);
    EXPECT_EQ(r.gamma, 0);
    EXPECT_EQ(r.white, 12);
}

TEST(MatchChannelHistogram, TwoClustersPulledApartGiveAContrastLine)
{
    std::vector<uint32_t> src(512, 0), ref(512, 0);
    AddHill(src, 65, 5000);
    AddHill(src, 185, 5000);
    AddHill(ref, 55, 5000);
    AddHill(ref, 195, 5000);
    const Result r = Match(ref, src);
    // Lags -10 and +10 over the means 65 and 185: slope 140/120;
    // black trunc(65 - 10 - 65 * 7/6 + 0.5) = trunc(-20.33),
    // white trunc(71 * 7/6 + 195 - 256 + 0.5) = trunc(22.33).
    EXPECT_EQ(r.black, -20);
    EXPECT_EQ(r.gamma, 0);
    EXPECT_EQ(r.white, 22);
}

TEST(MatchChannelHistogram, TwoClustersPushedTogetherGiveAFallingContrastLine)
{
    std::vector<uint32_t> src(512, 0), ref(512, 0);
    AddHill(src, 55, 5000);
    AddHill(src, 195, 5000);
    AddHill(ref, 65, 5000);
    AddHill(ref, 185, 5000);
    const Result r = Match(ref, src);
    // Signed differences: slope (195 - 10 - 55 - 10) / 140 = 6/7;
    // black trunc(55 + 10 - 55 * 6/7 + 0.5) = trunc(18.36),
    // white trunc(61 * 6/7 + 185 - 256 + 0.5) = trunc(-18.21).
    EXPECT_EQ(r.black, 18);
    EXPECT_EQ(r.gamma, 0);
    EXPECT_EQ(r.white, -18);
}

TEST(MatchChannelHistogram, OneShiftedClusterMovesTheChannelTowardTheReference)
{
    std::vector<uint32_t> src(512, 0);
    AddHill(src, 100, 5000);
    const std::vector<uint32_t> ref = Shifted(src, 20);
    const Result r = Match(ref, src);
    BYTE lut[256];
    CBaseColorCorrectionFilter::BuildYLUT(lut, r.black, r.gamma, r.white, 0);
    // The source's peak lands within a step of the reference's.
    EXPECT_NEAR(lut[100], 120, 2) << "black " << r.black << " gamma " << r.gamma << " white "
                                  << r.white;
}

TEST(MatchChannelHistogram, FourAgainstTwoClustersMergesTheFourSide)
{
    std::vector<uint32_t> ref(512, 0), src(512, 0);
    AddHill(ref, 35, 4000);
    AddHill(ref, 95, 3000);
    AddHill(ref, 155, 2000);
    AddHill(ref, 215, 1000);
    AddHill(src, 65, 5000);
    AddHill(src, 185, 5000);
    int b[2];
    ASSERT_EQ(FindHistogramClusters(ref.data(), b), 4);
    ASSERT_EQ(FindHistogramClusters(src.data(), b), 2);
    const Result r = Match(ref, src);
    EXPECT_GE(r.black, -255);
    EXPECT_LE(r.black, 255);
    EXPECT_GE(r.white, -255);
    EXPECT_LE(r.white, 255);
    EXPECT_EQ(r.gamma, 0) << "two clusters fit a straight line";
}

TEST(MatchChannelHistogram, AnEmptyTransformGivesANeutralChannel)
{
    std::vector<uint32_t> h(512, 0);
    AddHill(h, 100, 5000);
    const std::vector<uint32_t> ref = Shifted(h, 30);
    CFFTransform fft;
    int16_t b = 5, g = 5, w = 5;
    MatchChannelHistogram(fft, ref.data(), h.data(), b, g, w);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(w, 0);
}

TEST(GammaFromMean, GivesTheControlOfTheExponentBetweenMeanAndTarget)
{
    std::vector<uint32_t> h(512, 0);
    h[100] = 10;
    int gamma = 99;
    ASSERT_EQ(GammaFromMean(h.data(), 28, gamma), 1);
    // ln(100/256) / ln(128/256) = 1.356: trunc(0.356 * 50)
    EXPECT_EQ(gamma, 17);
    ASSERT_EQ(GammaFromMean(h.data(), 0, gamma), 1);
    EXPECT_EQ(gamma, 0);
    ASSERT_EQ(GammaFromMean(h.data(), -50, gamma), 1);
    // ln(100/256) / ln(50/256) = 0.5764: trunc(-0.4236 * 260)
    EXPECT_EQ(gamma, -110);
}

TEST(GammaFromMean, NoExponentReachesTheTargetGivesNeutral)
{
    std::vector<uint32_t> h(512, 0);
    int gamma = 99;
    EXPECT_EQ(GammaFromMean(h.data(), 10, gamma), 0) << "no counts";
    EXPECT_EQ(gamma, 0);
    h[100] = 1;
    gamma = 99;
    EXPECT_EQ(GammaFromMean(h.data(), -100, gamma), 0) << "target 0";
    EXPECT_EQ(gamma, 0);
    gamma = 99;
    EXPECT_EQ(GammaFromMean(h.data(), 156, gamma), 0) << "target 256: logarithm of 1";
    EXPECT_EQ(gamma, 0);
    EXPECT_EQ(GammaFromMean(h.data(), 200, gamma), 0) << "target beyond full scale";
    EXPECT_EQ(gamma, 0);
}

TEST(GammaFromMean, ReadsOnlyTheWorkingRange)
{
    std::vector<uint32_t> h(512, 0);
    h[100] = 10;
    h[5] = 1000;
    h[240] = 1000;
    int gamma = 99;
    ASSERT_EQ(GammaFromMean(h.data(), 28, gamma), 1);
    EXPECT_EQ(gamma, 17);
}

TEST(FitPowerCurve, IdentityPointsGiveTheIdentityCurve)
{
    const double t[3] = {0.25, 0.5, 0.75};
    double b = 9, w = 9, p = 9;
    ASSERT_TRUE(colorcorrect::FitPowerCurve(t, t, b, w, p));
    EXPECT_NEAR(b, 0.0, 1e-12);
    EXPECT_NEAR(w, 0.0, 1e-12);
    EXPECT_EQ(p, 1.0);
}

TEST(FitPowerCurve, FindsTheExponentOfAPowerCurve)
{
    const double t[3] = {0.2, 0.5, 0.8};
    double s[3];
    for (int i = 0; i < 3; ++i)
        s[i] = std::pow(t[i], 1.0 / 1.5); // s^1.5 = t
    double b = 9, w = 9, p = 9;
    ASSERT_TRUE(colorcorrect::FitPowerCurve(t, s, b, w, p));
    EXPECT_NEAR(p, 1.5, 1e-6);
    EXPECT_NEAR(b, 0.0, 1e-6);
    EXPECT_NEAR(w, 0.0, 1e-6);
}

TEST(FitPowerCurve, FailsWithoutANumberAndLeavesTheOutputs)
{
    const double t[3] = {0.2, 0.5, 0.8};
    const double s[3] = {-0.1, 0.5, 0.9}; // no real power of a negative value
    double b = 9, w = 9, p = 9;
    EXPECT_FALSE(colorcorrect::FitPowerCurve(t, s, b, w, p));
    EXPECT_EQ(b, 9.0);
    EXPECT_EQ(w, 9.0);
    EXPECT_EQ(p, 9.0);
}

} // namespace
