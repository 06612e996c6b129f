#pragma once
// Pictures for the fuzz targets, taken from the fuzzer's bytes: mostly small
// RGB or packed YUV pictures with varied content, sometimes empty ones, odd
// sizes and bit counts (which the library must refuse), or headers changed
// behind the picture's back (compression, flags, field order, bit count).

#include <colorcorrect/colorcorrect.h>
#include <fuzzer/FuzzedDataProvider.h>

namespace colorcorrect::fuzz {

// A new picture; never larger than kMaxPictureBytes.
CVoraDib MakePicture(FuzzedDataProvider& in);

} // namespace colorcorrect::fuzz
