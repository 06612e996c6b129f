#include "library_globals.h"

HMODULE g_hModule = nullptr;
tagCOLORCORRINFO g_ccDefault = {};

namespace {

// Identifies this library's module. It must be an object only the library can
// name: an exported variable may be copied into an executable that refers to
// it, and its address would then lie inside the executable.
const char s_moduleAnchor = 0;

// Attach-time work: runs while the shared library is loaded, after the
// library-wide values above are constructed.
struct LibraryAttach {
    LibraryAttach()
    {
        g_hModule = reinterpret_cast<HMODULE>(const_cast<char*>(&s_moduleAnchor));
        g_ccDefault.Init(sizeof(tagCOLORCORRINFO));
    }
} s_attach;

} // namespace
