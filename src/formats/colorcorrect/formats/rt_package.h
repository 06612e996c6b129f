#pragma once
// The real-time lookup package of a correction, as it is written to a file: the
// 2052 bytes of tagBCC_RTLUTPACK (docs/rt-lut-package.md), made by the
// display filter as a host makes it for its real-time consumer.

#include <colorcorrect/colorcorrect.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace colorcorrect::formats {

inline constexpr size_t kRtPackageBytes = sizeof(tagBCC_RTLUTPACK);

// The package of the record's primary part (`base`: curves, hue, saturation
// and clipping ranges, whatever the record's group flags say, as a viewer's
// GetRTLUT hands it out). The reserved bytes of RGB entries 1..255, which
// the library leaves alone, are 0, so the same record always gives the same
// bytes. False with a message when the filter cannot be made.
bool MakeRtPackage(const tagCOLORCORRINFO& record, std::array<uint8_t, kRtPackageBytes>& bytes,
                   std::string& error);

} // namespace colorcorrect::formats
