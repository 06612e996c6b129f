// Luma and channel curves: a linear black/white stretch followed by a power
// curve. The double expressions are evaluated exactly in the order written,
// and every conversion to an integer truncates, so the tables are the same
// bit for bit wherever they are built.

#include <cmath>

#include "base_color_correction_filter.h"
#include "curve_math.h"

using colorcorrect::ClampControl;
using colorcorrect::GammaExponent;

void CBaseColorCorrectionFilter::BuildYLUT(BYTE* lut, int black, int gamma, int white,
                                           int videoRange)
{
    black = ClampControl(black);
    gamma = ClampControl(gamma);
    white = ClampControl(white);
    const double e = GammaExponent(gamma);

    if (videoRange == 0) {
        const double slope = (white - black + 255) / 255.0;
        for (int i = 0; i < 256; ++i) {
            int y = static_cast<int>(i * slope + black + 0.5);
            if (y < 0) {
                lut[i] = 0;
                continue;
            }
            if (y > 255)
                y = 255;
            // Divisor 256, not 255: the curve's top end is 255/256 of full scale.
            lut[i] = static_cast<BYTE>(static_cast<int>(std::pow(y / 256.0, e) * 256.0));
        }
        return;
    }

    const double slope = (white - black + 219) / 219.0;
    const double offset = (black + 16) - 16 * slope;
    for (int i = 0; i < 256; ++i) {
        int y = static_cast<int>(i * slope + offset + 0.5);
        if (y < 16) {
            lut[i] = 16;
            continue;
        }
        if (y > 235)
            y = 235;
        lut[i] = static_cast<BYTE>(static_cast<int>(std::pow((y - 16) / 220.0, e) * 220.0 + 16));
    }
}

void CBaseColorCorrectionFilter::BuildRGBLUT(short* lut, int black, int gamma, int white)
{
    black = ClampControl(black);
    gamma = ClampControl(gamma);
    white = ClampControl(white);
    const double slope = (white - black + 255) / 255.0;
    const double e = GammaExponent(gamma);
    short* const zero = lut + 512; // entry(x) is zero[x]

    // Even inputs: the curve at half resolution, doubled; odd symmetric.
    for (int k = 0; k < 256; ++k) {
        const int x = 2 * k;
        const int y = static_cast<int>(x * slope + black + 0.5);
        if (y < 0) {
            zero[x] = 0;
            zero[-x] = 0;
            continue;
        }
        const double v = (std::pow(y / 256.0, e) * 256.0 + 0.5) / 2.0;
        const int r = v > 255.0 ? 255 : static_cast<int>(v);
        zero[x] = static_cast<short>(2 * r);
        if (x != 0)
            zero[-x] = static_cast<short>(-2 * r);
    }
    // Odd inputs: the mean of the two even neighbours, rounded down.
    for (int k = 0; k < 255; ++k) {
        const int x = 2 * k + 1;
        zero[x] = static_cast<short>((zero[x - 1] + zero[x + 1]) >> 1);
        zero[-x] = static_cast<short>(-zero[x]);
    }
}

void CBaseColorCorrectionFilter::BuildYMatchLUT(WORD* lut, unsigned centre, unsigned range,
                                                unsigned soft, int black, int gamma, int white,
                                                int videoRange)
{
    // The record's fields are bytes; larger values are limited to a byte so
    // the weight arithmetic stays meaningful.
    const int c = static_cast<int>(centre > 255 ? 255 : centre);
    const int r = static_cast<int>(range > 255 ? 255 : range);
    const int s = static_cast<int>(soft > 255 ? 255 : soft);
    black = ClampControl(black);
    gamma = ClampControl(gamma);
    white = ClampControl(white);
    const double e = GammaExponent(gamma);

    const int inner = ((255 - s) * r) / 255;
    const int outer = r - inner;

    const double fullSlope = (white - black + 255) / 255.0;
    const double videoSlope = (white - black + 219) / 219.0;
    const double videoOffset = (black + 16) - 16 * videoSlope;

    for (int y = 0; y < 256; ++y) {
        const int d = y > c ? y - c : c - y;
        if (d > r) {
            lut[y] = 0;
            continue;
        }
        // d > inner implies outer > 0, since d <= range = inner + outer.
        const int weight = d <= inner ? 0 : ((d - inner) * 255) / outer;

        int level;
        if (videoRange == 0) {
            const int l = static_cast<int>(y * fullSlope + black + 0.5);
            if (l < 1) {
                level = 1;
            } else {
                // Compared as a double first: l is not limited to 255 here, so
                // the curve can exceed any integer range.
                const double t = std::pow(l / 256.0, e) * 256.0;
                level = t >= 256.0 ? 255 : static_cast<int>(t);
                if (level < 1)
                    level = 1;
                else if (level > 255)
                    level = 255;
            }
        } else {
            int l = static_cast<int>(y * videoSlope + videoOffset + 0.5);
            if (l < 16) {
                level = 16;
            } else {
                if (l > 235)
                    l = 235;
                level = static_cast<int>(std::pow((l - 16) / 220.0, e) * 220.0 + 16);
            }
        }
        lut[y] = static_cast<WORD>((weight << 8) | level);
    }
}
