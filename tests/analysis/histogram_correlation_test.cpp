// Cross-correlation of histograms through the transform, and circular
// smoothing.

#include <colorcorrect/colorcorrect.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// re[k] = sum over l of a[(l + k) mod n] * b[l], computed directly.
std::vector<double> DirectCorrelation(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    const size_t n = a.size();
    std::vector<double> r(n, 0.0);
    for (size_t k = 0; k < n; ++k)
        for (size_t l = 0; l < n; ++l)
            r[k] += static_cast<double>(a[(l + k) % n]) * b[l];
    return r;
}

TEST(CorrelateHistograms, AgreesWithTheDirectCorrelationOnRandomHistograms)
{
    const int n = 512;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    std::mt19937 rng(1234);
    std::uniform_int_distribution<uint32_t> count(0, 5000);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<uint32_t> a(n), b(n);
        for (int i = 0; i < n; ++i) {
            a[i] = count(rng);
            b[i] = count(rng);
        }
        // A clear peak: b carries a strong copy of a's feature shifted by `shift`.
        const int shift = static_cast<int>(rng() % n);
        a[(100 + shift) % n] += 400000;
        b[100] += 400000;
        const std::vector<double> direct = DirectCorrelation(a, b);
        size_t best = 0;
        for (size_t k = 1; k < direct.size(); ++k)
            if (direct[k] > direct[best])
                best = k;
        ASSERT_EQ(best, static_cast<size_t>(shift)) << "trial " << trial;

        const int k = CorrelateHistograms(fft, a.data(), b.data(), 0, n, 0, n);
        EXPECT_EQ(k, shift) << "trial " << trial;
        // The transform's correlation values agree with the direct ones.
        double worst = 0.0;
        size_t at = 0;
        for (int i = 0; i < n; ++i) {
            const double e = std::abs(fft.GetRe()[i] - direct[i]) / direct[best];
            if (e > worst) {
                worst = e;
                at = static_cast<size_t>(i);
            }
        }
        EXPECT_LT(worst, 1e-4) << "trial " << trial << ", worst at lag " << at;
    }
}

TEST(CorrelateHistograms, NearTiesPickAMaximumOfTheDirectCorrelation)
{
    const int n = 512;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    std::mt19937 rng(99);
    std::uniform_int_distribution<uint32_t> count(0, 1000);
    for (int trial = 0; trial < 10; ++trial) {
        std::vector<uint32_t> a(n), b(n);
        for (int i = 0; i < n; ++i) {
            a[i] = count(rng);
            b[i] = count(rng);
        }
        const std::vector<double> direct = DirectCorrelation(a, b);
        double best = 0.0;
        for (double v : direct)
            best = std::max(best, v);
        const int k = CorrelateHistograms(fft, a.data(), b.data(), 0, n, 0, n);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, n);
        EXPECT_GE(direct[k], best * (1.0 - 1e-4)) << "trial " << trial << " lag " << k;
    }
}

TEST(CorrelateHistograms, ReadsOnlyTheWindows)
{
    const int n = 512;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    std::vector<uint32_t> a(n, 0), b(n, 0);
    a[60] = 100;
    b[50] = 100;
    // Strong features outside the windows must not count.
    a[300] = 100000;
    b[10] = 100000;
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), 20, 230, 20, 230), 10);
    // And with the windows open they dominate: 300 - 10.
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), 0, n, 0, n), 290);
}

TEST(CorrelateHistograms, NegativeShiftsWrapAroundAndReadAsSignedLags)
{
    const int n = 512;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    std::vector<uint32_t> a(n, 0), b(n, 0);
    a[80] = 50;
    a[81] = 20;
    b[100] = 50;
    b[101] = 20;
    const int k = CorrelateHistograms(fft, a.data(), b.data(), 0, n, 0, n);
    EXPECT_EQ(k, 492);
    EXPECT_EQ(colorcorrect::SignedLag(k, n), -20);
    EXPECT_EQ(colorcorrect::SignedLag(256, n), 256);
    EXPECT_EQ(colorcorrect::SignedLag(257, n), -255);
    EXPECT_EQ(colorcorrect::SignedLag(0, n), 0);
}

TEST(CorrelateHistograms, EmptyHistogramsGiveZero)
{
    const int n = 512;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    std::vector<uint32_t> a(n, 0), b(n, 0);
    b[7] = 1000;
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), 0, n, 0, n), 0);
    EXPECT_EQ(CorrelateHistograms(fft, b.data(), a.data(), 0, n, 0, n), 0);
}

TEST(CorrelateHistograms, EmptyTransformGivesZeroAndReadsNothing)
{
    CFFTransform fft;
    EXPECT_EQ(CorrelateHistograms(fft, nullptr, nullptr, 0, 512, 0, 512), 0);
}

TEST(CorrelateHistograms, WindowsBeyondTheTransformAreCut)
{
    const int n = 8;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    std::vector<uint32_t> a(n, 0), b(n, 0);
    a[5] = 3;
    b[2] = 3;
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), -4, 100, -1, 9), 3);
}

TEST(SmoothCircular, AveragesSevenBinsAndTruncates)
{
    std::vector<uint32_t> h(16, 0);
    h[8] = 70;
    h[9] = 6;
    SmoothCircular(h.data(), 16, 7);
    for (int i = 0; i < 16; ++i) {
        uint32_t expected = 0;
        if (i >= 5 && i <= 11)
            expected += 70;
        if (i >= 6 && i <= 12)
            expected += 6;
        EXPECT_EQ(h[i], expected / 7) << "bin " << i;
    }
}

TEST(SmoothCircular, WrapsAroundTheCircle)
{
    std::vector<uint32_t> h(512, 0);
    h[0] = 700;
    SmoothCircular(h.data(), 512, 7);
    for (int i : {509, 510, 511, 0, 1, 2, 3})
        EXPECT_EQ(h[i], 100u) << "bin " << i;
    EXPECT_EQ(h[4], 0u);
    EXPECT_EQ(h[508], 0u);
}

TEST(SmoothCircular, UsesOnlyTheUnsmoothedValues)
{
    std::vector<uint32_t> h = {7, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    SmoothCircular(h.data(), 10, 3);
    const std::vector<uint32_t> expected = {2, 2, 0, 0, 0, 0, 0, 0, 0, 2};
    EXPECT_EQ(h, expected);
}

TEST(SmoothCircular, NonPositiveSizesChangeNothing)
{
    std::vector<uint32_t> h = {1, 2, 3};
    SmoothCircular(h.data(), 3, 0);
    SmoothCircular(h.data(), 0, 7);
    SmoothCircular(nullptr, 3, 7);
    EXPECT_EQ(h, (std::vector<uint32_t>{1, 2, 3}));
}

} // namespace
