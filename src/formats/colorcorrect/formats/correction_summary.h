#pragma once
// A readable description of a correction record, as `colorcorrect info` and the
// browser workstation show it.

#include <colorcorrect/colorcorrect.h>

#include <string>

namespace colorcorrect::formats {

// Several lines, each ending in a newline: which groups are active, then
// each group's settings that are not neutral (inactive groups are listed
// with "off" and their settings, which take effect only when switched on).
std::string DescribeCorrection(const tagCOLORCORRINFO& record);

// Whole degrees of a hue control as the engine turns: value * 180 / 256
// truncated toward zero, limited to -180..180.
int HueDegrees(int hue);

} // namespace colorcorrect::formats
