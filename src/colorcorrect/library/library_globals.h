#pragma once
// Library-wide values, set up once when the shared library is loaded (before
// any filter or viewer exists) and only read afterwards.

#include "../host/vora_dib.h"
#include "../host/win_types.h"
#include "../records/correction_records.h"

// Scope backgrounds, loaded from "resource/<name>.bmp" beside the running
// executable; a missing or unreadable file gives a blank 384 x 288, 24-bit
// picture. The scopes draw only on 384 x 288 backgrounds.
extern CVoraDib g_dibVector;    // "vector"
extern CVoraDib g_dibWaveform;  // "waveform"
extern CVoraDib g_dibLightning; // "lightning"
extern CVoraDib g_dibHistogram; // "histogram"
extern CVoraDib g_dibBlank;     // blank 384 x 288, 24 bits: the 3D cube's background
extern CVoraDib g_dibVectLight; // "vectlight"
// The library's own module (used to find the default picture beside it).
extern HMODULE g_hModule;
// The default correction record, Init(564); tagCOLORCORRINFO::IsDefault
// compares against it.
extern tagCOLORCORRINFO g_ccDefault;

// Loads one scope background "resource/<name>.bmp" from beside the running
// executable into dib, or makes it a blank 384 x 288, 24-bit picture.
void LoadScopePicture(CVoraDib& dib, const wchar_t* pszName);
// The attach-time work, in order: the module handle, the five backgrounds,
// the blank picture, the default record. Runs when the library is loaded.
void InitScopePictures(HMODULE module);
