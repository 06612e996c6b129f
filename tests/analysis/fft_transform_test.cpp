// The radix-2 transform against a direct discrete Fourier transform.

#include <colorcorrect/colorcorrect.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

using Spectrum = std::vector<std::complex<double>>;

Spectrum DirectDft(const Spectrum& x, int direction)
{
    const size_t n = x.size();
    Spectrum out(n);
    const double pi = 4.0 * std::atan(1.0);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0.0;
        for (size_t j = 0; j < n; ++j) {
            const double a = -direction * 2.0 * pi * static_cast<double>((k * j) % n) /
                             static_cast<double>(n);
            sum += x[j] * std::complex<double>(std::cos(a), std::sin(a));
        }
        out[k] = direction < 0 ? sum / static_cast<double>(n) : sum;
    }
    return out;
}

Spectrum RandomSignal(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    Spectrum x(n);
    for (auto& c : x)
        c = {value(rng), value(rng)};
    return x;
}

void Load(CFFTransform& fft, const Spectrum& x)
{
    for (size_t i = 0; i < x.size(); ++i) {
        fft.GetRe()[i] = static_cast<float>(x[i].real());
        fft.GetIm()[i] = static_cast<float>(x[i].imag());
    }
}

// Largest difference between the transform's arrays and `expected`.
double MaxError(const CFFTransform& fft, const Spectrum& expected, size_t* where)
{
    double worst = 0.0;
    for (size_t i = 0; i < expected.size(); ++i) {
        const double e = std::abs(std::complex<double>(fft.GetRe()[i], fft.GetIm()[i]) -
                                  expected[i]);
        if (e > worst) {
            worst = e;
            *where = i;
        }
    }
    return worst;
}

TEST(FFTransformInit, AcceptsPowersOfTwoFrom2To32768)
{
    for (unsigned n : {2u, 4u, 8u, 512u, 32768u}) {
        CFFTransform fft;
        ASSERT_EQ(fft.Init(n), 1) << "n " << n;
        EXPECT_EQ(fft.GetSize(), n);
        ASSERT_NE(fft.GetRe(), nullptr);
        ASSERT_NE(fft.GetIm(), nullptr);
        for (unsigned i = 0; i < n; ++i)
            ASSERT_TRUE(fft.GetRe()[i] == 0.0f && fft.GetIm()[i] == 0.0f) << "n " << n << " i " << i;
    }
}

TEST(FFTransformInit, RefusesOtherSizesAndLeavesTheObjectEmpty)
{
    CFFTransform fft;
    ASSERT_EQ(fft.Init(16), 1);
    for (unsigned n : {0u, 1u, 3u, 6u, 100u, 65536u, 131072u, 0xFFFFFFFFu}) {
        EXPECT_EQ(fft.Init(n), 0) << "n " << n;
        EXPECT_EQ(fft.GetSize(), 0u);
        EXPECT_EQ(fft.GetRe(), nullptr);
        EXPECT_EQ(fft.GetIm(), nullptr);
    }
}

TEST(FFTransformInit, RefusedPageBlockGivesAnEmptyObject)
{
    CFFTransform fft;
    colorcorrect::SetPageAllocationBudget(0);
    const BOOL result = fft.Init(512);
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fft.GetSize(), 0u);
    EXPECT_EQ(fft.GetRe(), nullptr);
    // Transforming and releasing an empty object is harmless.
    fft.Transform(1, 1);
    fft.Release();
    EXPECT_EQ(fft.GetSize(), 0u);
}

TEST(FFTransformInit, ReleaseEmptiesTheObjectAndInitWorksAgain)
{
    CFFTransform fft;
    ASSERT_EQ(fft.Init(64), 1);
    fft.Release();
    EXPECT_EQ(fft.GetSize(), 0u);
    EXPECT_EQ(fft.GetRe(), nullptr);
    ASSERT_EQ(fft.Init(32), 1);
    EXPECT_EQ(fft.GetSize(), 32u);
}

TEST(FFTransformForward, MatchesTheDirectTransform)
{
    for (unsigned n : {2u, 4u, 8u, 64u, 512u}) {
        CFFTransform fft;
        ASSERT_EQ(fft.Init(n), 1);
        const Spectrum x = RandomSignal(n, n);
        Load(fft, x);
        fft.Transform(1, 1);
        size_t where = 0;
        const double error = MaxError(fft, DirectDft(x, 1), &where);
        EXPECT_LT(error, 1e-4 * n) << "n " << n << ", worst at bin " << where;
    }
}

TEST(FFTransformInverse, MatchesTheDirectInverseAndUndoesTheForward)
{
    const unsigned n = 256;
    CFFTransform fft;
    ASSERT_EQ(fft.Init(n), 1);
    const Spectrum x = RandomSignal(n, 7);
    Load(fft, x);
    fft.Transform(-1, 1);
    size_t where = 0;
    EXPECT_LT(MaxError(fft, DirectDft(x, -1), &where), 1e-5) << "worst at " << where;

    Load(fft, x);
    fft.Transform(1, 1);
    fft.Transform(-1, 1);
    EXPECT_LT(MaxError(fft, x, &where), 1e-5) << "worst at " << where;
}

TEST(FFTransformForward, ImpulseGivesAFlatSpectrum)
{
    CFFTransform fft;
    ASSERT_EQ(fft.Init(16), 1);
    fft.GetRe()[0] = 1.0f;
    fft.Transform(1, 1);
    for (int k = 0; k < 16; ++k) {
        EXPECT_NEAR(fft.GetRe()[k], 1.0, 1e-6) << "bin " << k;
        EXPECT_NEAR(fft.GetIm()[k], 0.0, 1e-6) << "bin " << k;
    }
}

TEST(FFTransformForward, OtherDirectionsChangeNothing)
{
    CFFTransform fft;
    ASSERT_EQ(fft.Init(8), 1);
    fft.GetRe()[3] = 2.0f;
    fft.Transform(0, 1);
    fft.Transform(2, 1);
    EXPECT_EQ(fft.GetRe()[3], 2.0f);
    EXPECT_EQ(fft.GetRe()[0], 0.0f);
}

} // namespace
