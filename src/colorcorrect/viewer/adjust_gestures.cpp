// Adjustment gestures of the viewer: the coupled levels/colour-balance drag,
// the hue/saturation drag round the vector display's centre and the drag on
// the histogram display's grid. Every move starts again from the record saved
// at Begin and the total displacement, so rounding never accumulates.

#include "color_correction_viewer.h"

#include <cmath>

namespace {

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
