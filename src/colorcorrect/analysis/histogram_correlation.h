#pragma once
// Shifts between histograms by circular cross-correlation, and circular
// smoothing of histograms.

#include <cstdint>

#include "../host/win_types.h"
#include "fft_transform.h"

// Index 0..n-1 of the highest circular cross-correlation of two histograms,
// with n = fft.GetSize(): re[k] = sum over l of a[(l + k) mod n] * b[l], with
// a taken only in the window a0..a1-1 and b only in b0..b1-1 (zero
// elsewhere). Windows are cut to 0..n. The result k is how far a's features
// lie above b's; callers read k above n/2 as k - n. Returns the first of
// equal maxima, and 0 when no correlation value is above 0 (values under
// one half count as 0: they are rounding noise, the exact correlation of
// counts being a whole number) or fft is empty.
// a and b are read only within their windows; the transform's arrays are
// overwritten.
int CorrelateHistograms(CFFTransform& fft, const uint32_t* a, const uint32_t* b, int a0, int a1,
                        int b0, int b1);

// Smooths the circular histogram hist[0..n-1] in place: every bin becomes
// trunc(sum of the w bins centred on it / w) (for even w the extra bin lies
// below), wrapping around the ends, all computed from the unsmoothed values.
// Nothing happens for n <= 0 or w <= 0.
void SmoothCircular(uint32_t* hist, int n, int w);

namespace colorcorrect {

// A correlation index 0..n-1 as a signed lag: above n/2 it is reduced by n,
// so lags of a 512-point transform run -255..256.
int SignedLag(int index, int n);

} // namespace colorcorrect
