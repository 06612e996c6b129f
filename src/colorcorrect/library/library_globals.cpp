#include "library_globals.h"

#include <cwchar>

#include "../host/module_path.h"

// Constructed in this order before the attach work below runs, destroyed in
// reverse order when the library is unloaded.
CVoraDib g_dibVector;
CVoraDib g_dibWaveform;
CVoraDib g_dibLightning;
CVoraDib g_dibHistogram;
CVoraDib g_dibBlank;
CVoraDib g_dibVectLight;
HMODULE g_hModule = nullptr;
tagCOLORCORRINFO g_ccDefault = {};

namespace {

constexpr int kScopeWidth = 384;
constexpr int kScopeHeight = 288;
// Room for the longest path the system allows: a shorter buffer would cut
// deep install paths and silently lose the backgrounds.
constexpr DWORD kPathChars = 4096;

} // namespace

void LoadScopePicture(CVoraDib& dib, const wchar_t* pszName)
{
    wchar_t path[kPathChars] = {};
    wchar_t* name = path;
    if (g_hModule != nullptr && GetModuleFileNameW(GetMainInstance(), path, kPathChars) != 0) {
        const wchar_t* file = FU_FindFilename(path);
        if (file != nullptr)
            name = path + (file - path);
    }
    const size_t room = kPathChars - static_cast<size_t>(name - path);
    const int written = std::swprintf(name, room, L"resource/%ls.bmp", pszName);
    if (written < 0 || dib.LoadFromFile(path, 0, 0, 24, 0) == 0)
        dib.Alloc(kScopeWidth, kScopeHeight, 24, 0);
}

void InitScopePictures(HMODULE module)
{
    g_hModule = module;
    LoadScopePicture(g_dibVector, L"vector");
    LoadScopePicture(g_dibWaveform, L"waveform");
    LoadScopePicture(g_dibLightning, L"lightning");
    LoadScopePicture(g_dibHistogram, L"histogram");
    LoadScopePicture(g_dibVectLight, L"vectlight");
    g_dibBlank.Alloc(kScopeWidth, kScopeHeight, 24, 0);
    g_ccDefault.Init(sizeof(tagCOLORCORRINFO));
}

namespace {

// Identifies this library's module. It must be an object only the library can
// name: an exported variable may be copied into an executable that refers to
// it, and its address would then lie inside the executable.
const char s_moduleAnchor = 0;

// The library's entry point: runs once when the shared library is loaded,
// after the values above are constructed (same translation unit, later
// definition).
struct LibraryAttach {
    LibraryAttach() { InitScopePictures(reinterpret_cast<HMODULE>(const_cast<char*>(&s_moduleAnchor))); }
} s_attach;

} // namespace
