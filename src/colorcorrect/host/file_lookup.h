#pragma once
// File names as the host writes them (wide strings, often in another letter
// case than the files on disk) turned into paths this system can open.

#include <string>

namespace colorcorrect {

// Returns `path` when it names an existing file or folder. Otherwise looks the
// path up component by component, matching each component case-insensitively
// (ASCII letters only) against the entries of the folder found so far, so that
// "RESOURCE/COLORNTSC.BMP" finds "resource/colorntsc.bmp". When several entries
// match, an exact match wins, then the first in byte order. Returns the path
// that was found, or `path` unchanged when there is none.
std::string FindFileCaseInsensitive(const std::string& path);

} // namespace colorcorrect
