#pragma once
// Where the default picture lies: the picture a viewer shows when the host
// has handed it none, and the one demonstrations and tests start from.

#include <string>

namespace colorcorrect {

// The full path of the default picture: the folder of the library's own
// module followed by VIEWER_DEFAULT_PICTURE ("RESOURCE/COLORNTSC.BMP"; the
// file is looked up without regard to case when loaded). When the module's
// path cannot be found, VIEWER_DEFAULT_PICTURE alone (relative to the working
// directory). The file need not exist. May throw std::bad_alloc.
std::wstring DefaultPicturePath();

} // namespace colorcorrect
