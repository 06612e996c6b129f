#include "default_picture.h"

#include "../host/module_path.h"
#include "../library/library_globals.h"
#include "color_correction_viewer.h"

namespace colorcorrect {

namespace {

// Room for the longest path the system allows; a path cut short would point
// into the wrong folder.
constexpr DWORD kPathChars = 4096;

} // namespace

std::wstring DefaultPicturePath()
{
    std::wstring path(kPathChars, L'\0');
    const DWORD length = GetModuleFileNameW(g_hModule, path.data(), kPathChars);
    path.resize(length);
    const wchar_t* name = FU_FindFilename(path.c_str());
    path.resize(name == nullptr ? 0 : static_cast<size_t>(name - path.c_str()));
    return path + VIEWER_DEFAULT_PICTURE;
}

} // namespace colorcorrect
