#pragma once
// Fitting one channel curve so that a source value histogram lands on a
// reference value histogram.
//
// Value histograms are addressed from the entry of value 0 (hist[v] counts
// channel value v); only the working range 20..229 is read, except by the
// one-cluster search, which reads values 0..255.

#include <cstdint>

#include "../host/win_types.h"
#include "fft_transform.h"

// The black, gamma and white controls (-255..255, 0 neutral; the gamma may
// reach -208..200 on the three-cluster power fit) of the channel curve that
// carries the source histogram src onto the reference histogram ref. Both
// histograms are split into clusters and matched cluster against cluster
// (shifts by cross-correlation with fft, which must be initialised with 512
// points): one cluster tries a gamma, a shift, a black-only and a white-only
// curve and keeps what overlaps the reference best; two clusters give the
// straight line through both shifted cluster means; three clusters a power
// curve through the three shifted means (or a gamma, or a straight line);
// four a gamma from the mean or a shift. A side with more clusters is merged
// down to the other's count. More than four on either side, or a degenerate
// fit, gives 0, 0, 0. An empty fft gives 0, 0, 0 as well.
void MatchChannelHistogram(CFFTransform& fft, const uint32_t* ref, const uint32_t* src,
                           int16_t& black, int16_t& gamma, int16_t& white);

// The gamma control value (-255..255) whose curve moves the mean m of hist's
// working range (rounded to a whole value) to m + lag, and 1. 0, with gamma 0,
// when the range holds no counts or m + lag is not within 1..255 (no exponent
// reaches it).
BOOL GammaFromMean(const uint32_t* hist, int lag, int& gamma);

namespace colorcorrect {

// How well the source histogram, mapped through the full-range luma curve of
// (black, gamma, white), overlaps the reference: the sum over v = 0..255 of
// ref[v] times the mapped count at v.
uint64_t CurveOverlap(const uint32_t* ref, const uint32_t* src, int black, int gamma, int white);

} // namespace colorcorrect
