#pragma once
// Writes RGB test pictures as PNG files, so that rendered displays can be
// looked at with an ordinary image viewer.

#include <colorcorrect/colorcorrect.h>

#include <string>

namespace colorcorrect::test {

// Writes a 24- or 32-bit RGB picture (the fourth byte is dropped) as an
// 8-bit RGB PNG, the top row on screen first. The image data is stored
// uncompressed, so no compression library is needed. False for an empty or
// YUV picture or when the file cannot be written.
bool WritePng(const CVoraDib& rgb, const std::string& path);

} // namespace colorcorrect::test
