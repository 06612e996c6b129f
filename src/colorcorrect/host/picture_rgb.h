#pragma once
// The way back from the library's packed YUV pictures to RGB, for hosts that
// want to show or save what the library hands them (previews, corrected
// frames). The counterpart of CVoraDib::ToYUV.

#include "vora_dib.h"

namespace colorcorrect {

// Converts a packed YUV picture ("@YUV", 24 or 32 bits) to RGB in place with
// the library's fixed-point formulas (YuvBytesToRgbBytes in yuv_rgb.h):
// bytes Y, U + 128, V + 128 become B, G, R, each clamped to 0..255; the
// fourth byte of 32-bit pixels is kept; the compression word becomes 0.
// An RGB picture is left as it is (1). 0 for an empty picture or one of
// another compression. Copies of the picture are not affected (CVoraDib
// copies are independent).
int ToRGB(CVoraDib& dib);

} // namespace colorcorrect
