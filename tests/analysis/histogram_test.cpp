// The transform, the correlation and the smoothing of histograms, their
// clusters, and the channel curve fitted from two value histograms.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Histogram = std::vector<uint32_t>;

TEST(FFTransform, AgreesWithTheDirectTransformBothWays)
{
    for (unsigned n : {2u, 4u, 8u, 64u, 512u})
        for (int direction : {1, -1}) {
            CFFTransform fft;
            ASSERT_EQ(fft.Init(n), 1);
            std::mt19937 rng(n);
            std::uniform_real_distribution<double> value(-1.0, 1.0);
            std::vector<std::complex<double>> x(n);
            for (unsigned i = 0; i < n; ++i)
                x[i] = {value(rng), value(rng)}, fft.GetRe()[i] = static_cast<float>(x[i].real()),
                fft.GetIm()[i] = static_cast<float>(x[i].imag());
            fft.Transform(direction, 1);
            double worst = 0;
            for (unsigned k = 0; k < n; ++k) {
                std::complex<double> sum = 0;
                for (unsigned j = 0; j < n; ++j)
                    sum += x[j] * std::polar(1.0, -direction * colorcorrect::g_TwoPi * ((k * j) % n) / n);
                sum /= direction < 0 ? n : 1;
                worst = std::max(worst, std::abs(sum - std::complex<double>(fft.GetRe()[k], fft.GetIm()[k])));
            }
            EXPECT_LT(worst, 1e-4 * n) << "n " << n << ", direction " << direction;
        }
}

TEST(CorrelateHistograms, AgreesWithTheDirectCorrelation)
{
    const int n = 512;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    std::mt19937 rng(1234);
    std::uniform_int_distribution<uint32_t> count(0, 5000);
    for (int trial = 0; trial < 10; ++trial) {
        Histogram a(n), b(n);
        for (int i = 0; i < n; ++i)
            a[i] = count(rng), b[i] = count(rng);
        const int shift = static_cast<int>(rng() % n);
        a[(100 + shift) % n] += 400000; // a strong feature of b, shifted
        b[100] += 400000;
        EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), 0, n, 0, n), shift);
        double worst = 0, peak = 0;
        for (int lag = 0; lag < n; ++lag) {
            double direct = 0;
            for (int l = 0; l < n; ++l)
                direct += static_cast<double>(a[(l + lag) % n]) * b[l];
            peak = std::max(peak, direct);
            worst = std::max(worst, std::fabs(fft.GetRe()[lag] - direct));
        }
        EXPECT_LT(worst, 1e-4 * peak) << "trial " << trial;
    }
}

TEST(CorrelateHistograms, ReadsOnlyTheWindowsAndGivesZeroWithoutAPeak)
{
    CFFTransform fft;
    EXPECT_EQ(CorrelateHistograms(fft, nullptr, nullptr, 0, 512, 0, 512), 0) << "empty transform";
    ASSERT_EQ(fft.Init(512), 1);
    Histogram a(512), b(512);
    b[7] = 1000;
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), 0, 512, 0, 512), 0);
    a[60] = b[50] = 100;
    a[300] = b[10] = 100000; // outside the windows 20..229
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), 20, 230, 20, 230), 10);
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), 0, 512, 0, 512), 290);
    EXPECT_EQ(colorcorrect::SignedLag(CorrelateHistograms(fft, b.data(), a.data(), 20, 230, 20, 230), 512), -10);
    EXPECT_TRUE(colorcorrect::SignedLag(256, 512) == 256 && colorcorrect::SignedLag(257, 512) == -255);
    EXPECT_EQ(CorrelateHistograms(fft, a.data(), b.data(), -4, 1000, 20, 230), 250) << "windows cut to 0..512";
}

TEST(SmoothCircular, AveragesTheBinsAroundEachFromTheUnsmoothedValuesRoundTheCircle)
{
    Histogram h = {0, 0, 0, 0, 0, 70, 6, 0, 0, 700};
    SmoothCircular(h.data(), 10, 4); // bins i - 2 .. i + 1
    EXPECT_EQ(h, (Histogram{175, 175, 0, 0, 17, 19, 19, 19, 176, 175}));
    SmoothCircular(h.data(), 10, 0);
    SmoothCircular(h.data(), 0, 7);
    EXPECT_EQ(h[0], 175u) << "nothing to smooth";
}

// Counts for the seven coarse bins of 30 values from 20 on, each spread evenly.
Histogram Coarse(std::vector<uint32_t> masses)
{
    Histogram h(256);
    for (size_t k = 0; k < masses.size(); ++k)
        for (uint32_t i = 0; i < masses[k]; ++i)
            h[20 + 30 * k + i % 30] += 1;
    return h;
}

TEST(HistogramClusters, HillsCountAndBoundariesLieNearerTheLighterHill)
{
    const struct {
        std::vector<uint32_t> masses;
        int count, b0, b1; // -1: not written
    } cases[] = {
        {{0, 0, 300, 900, 300}, 1, -1, -1},       {{0, 1000, 0, 0, 0, 1000}, 2, 110, -1},
        {{0, 3000, 0, 0, 0, 1000}, 2, 140, -1},   {{1000, 0, 0, 1000, 0, 0, 1000}, 3, 65, 155},
        {{0, 1000, 0, 0, 0, 199}, 1, -1, -1},     {{0, 1000, 0, 0, 0, 200}, 2, 150, -1}, // a fifth counts
        {{100, 100, 200}, 1, -1, -1},             {{0, 0, 4}, 7, -1, -1}, // equal first bins; under 5 counts
    };
    for (const auto& c : cases) {
        int b[2] = {-1, -1};
        EXPECT_EQ(FindHistogramClusters(Coarse(c.masses).data(), b), c.count) << c.masses[1];
        EXPECT_TRUE(b[0] == c.b0 && b[1] == c.b1) << c.masses[1] << ": " << b[0] << " " << b[1];
    }
    const auto list = colorcorrect::FindClusterList(Coarse({0, 0, 500, 600, 100}).data()); // (1000 + 1800 + 400) / 1200
    EXPECT_TRUE(list.nCount == 1 && list.dPosition[0] == 3.0 && list.dMass[0] == 1200.0);
}

// Hills of the given masses around their centres, triangles 9 values wide.
Histogram Hills(std::vector<std::pair<int, uint32_t>> hills, int shift = 0)
{
    Histogram h(512);
    const int weights[9] = {1, 2, 3, 4, 5, 4, 3, 2, 1};
    for (const auto& [centre, mass] : hills)
        for (int i = 0; i < 9; ++i)
            h[centre + shift - 4 + i] += mass * weights[i] / 25;
    return h;
}

TEST(MatchChannelHistogram, ShiftedAndStretchedClustersGiveTheirCurves)
{
    const std::vector<std::pair<int, uint32_t>> one = {{125, 2500}}, two = {{65, 5000}, {185, 5000}},
                                                three = {{35, 3000}, {125, 2500}, {215, 2000}},
                                                four = {{35, 4000}, {95, 3000}, {155, 2000}, {215, 1000}};
    const struct { const char* what; Histogram ref, src; int black, gamma, white; } cases[] = {
        {"one cluster", Hills(one), Hills(one), 0, 0, 0},
        {"two clusters", Hills(two), Hills(two), 0, 0, 0},
        {"three clusters", Hills(three), Hills(three), 0, 0, 0},
        {"four clusters", Hills(four), Hills(four), 0, 0, 0},
        {"two clusters shifted by 12", Hills(two, 12), Hills(two), 12, 0, 12},
        // Lags -10 and +10 over the means 65 and 185: slope 140 / 120.
        {"two clusters pulled apart", Hills({{55, 5000}, {195, 5000}}), Hills(two), -20, 0, 22},
        {"two clusters pushed together", Hills(two), Hills({{55, 5000}, {195, 5000}}), 18, 0, -18},
        {"four merged against two", Hills(four), Hills(two), 3, 0, -125},
        {"more than four", Hills(one), Coarse({}), 0, 0, 0},
    };
    CFFTransform fft;
    ASSERT_EQ(fft.Init(512), 1);
    for (const auto& c : cases) {
        int16_t b = 99, g = 99, w = 99;
        MatchChannelHistogram(fft, c.ref.data(), c.src.data(), b, g, w);
        EXPECT_TRUE(b == c.black && g == c.gamma && w == c.white) << c.what << ": " << b << " " << g << " " << w;
    }
    CFFTransform empty;
    int16_t b = 99, g = 99, w = 99;
    MatchChannelHistogram(empty, Hills(one, 30).data(), Hills(one).data(), b, g, w);
    EXPECT_TRUE(b == 0 && g == 0 && w == 0) << "empty transform";
}

} // namespace
