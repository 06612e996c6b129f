#include "library_globals.h"

HMODULE g_hModule = nullptr;
tagCOLORCORRINFO g_ccDefault = {};

namespace {

// Attach-time work: runs while the shared library is loaded, after the
// library-wide values above are constructed.
struct LibraryAttach {
    LibraryAttach()
    {
        g_hModule = reinterpret_cast<HMODULE>(&g_ccDefault);
        g_ccDefault.Init(sizeof(tagCOLORCORRINFO));
    }
} s_attach;

} // namespace
