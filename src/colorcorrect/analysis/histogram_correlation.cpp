#include "histogram_correlation.h"

#include <algorithm>
#include <vector>

int CorrelateHistograms(CFFTransform& fft, const uint32_t* a, const uint32_t* b, int a0, int a1,
                        int b0, int b1)
{
    const int n = static_cast<int>(fft.GetSize());
    float* re = fft.GetRe();
    float* im = fft.GetIm();
    if (n == 0 || re == nullptr || im == nullptr)
        return 0;

    a0 = std::clamp(a0, 0, n);
    a1 = std::clamp(a1, 0, n);
    b0 = std::clamp(b0, 0, n);
    b1 = std::clamp(b1, 0, n);
    std::fill(re, re + n, 0.0f);
    std::fill(im, im + n, 0.0f);
    for (int i = a0; i < a1; ++i)
        re[i] = static_cast<float>(a[i]);
    for (int i = b0; i < b1; ++i)
        im[i] = static_cast<float>(b[i]);

    fft.Transform(1, 1);

    // Both real signals went through one complex transform: split their
    // spectra A and B, then form A * conj(B), the spectrum of the correlation.
    for (int k = 1; k <= n / 2; ++k) {
        const int m = n - k;
        const double xr = re[k], xi = im[k];
        const double yr = re[m], yi = -im[m]; // conj X[n-k]
        const double ar = (xr + yr) / 2, ai = (xi + yi) / 2;
        // (X - conj X[n-k]) / 2i
        const double dr = (xr - yr) / 2, di = (xi - yi) / 2;
        const double br = di, bi = -dr;
        const double cr = ar * br + ai * bi;
        const double ci = ai * br - ar * bi;
        re[k] = static_cast<float>(cr);
        im[k] = static_cast<float>(ci);
        re[m] = static_cast<float>(cr);
        im[m] = static_cast<float>(-ci);
    }
    re[0] = re[0] * im[0];
    im[0] = 0.0f;

    fft.Transform(-1, 1);

    // Correlations of counts are whole numbers: anything below one half is
    // the transform's rounding noise around a true 0.
    int best = 0;
    float bestValue = 0.5f;
    for (int k = 0; k < n; ++k)
        if (re[k] > bestValue) {
            bestValue = re[k];
            best = k;
        }
    return best;
}

void SmoothCircular(uint32_t* hist, int n, int w)
{
    if (hist == nullptr || n <= 0 || w <= 0)
        return;
    const std::vector<uint32_t> original(hist, hist + n);
    const int first = -(w / 2);
    for (int i = 0; i < n; ++i) {
        uint64_t sum = 0;
        for (int j = 0; j < w; ++j) {
            int index = (i + first + j) % n;
            if (index < 0)
                index += n;
            sum += original[static_cast<size_t>(index)];
        }
        hist[i] = static_cast<uint32_t>(sum / static_cast<uint64_t>(w));
    }
}

namespace colorcorrect {

int SignedLag(int index, int n)
{
    return index > n / 2 ? index - n : index;
}

} // namespace colorcorrect
