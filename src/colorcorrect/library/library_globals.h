#pragma once
// Library-wide values, set up once when the shared library is loaded (before
// any filter or viewer exists) and only read afterwards.

#include "../host/win_types.h"
#include "../records/correction_records.h"

// The library's own module (used to find the default picture beside it).
extern HMODULE g_hModule;
// The default correction record, Init(564); tagCOLORCORRINFO::IsDefault
// compares against it.
extern tagCOLORCORRINFO g_ccDefault;
