#pragma once
// Where the running program and the library live, for finding files that are
// installed beside them, and a helper for taking paths apart.

#include "win_types.h"

// The module of the running executable (an address inside it). Never null.
HMODULE GetMainInstance();

// Writes the full path of a module's file into buffer.
// module: null or GetMainInstance() for the running executable; otherwise any
//   address inside a loaded module (for example g_hModule for this library)
//   names the module that contains it.
// buffer, size: the output and its capacity in wide characters including the
//   terminating zero. A longer path is cut to size - 1 characters.
// Returns the number of characters written without the terminating zero, or 0
// (and nothing written) when buffer is null, size is 0 or the module cannot be
// found. Bytes of the path that are not UTF-8 come back as U+DC80..U+DCFF
// (see colorcorrect::WideFromUtf8).
DWORD GetModuleFileNameW(HMODULE module, wchar_t* buffer, DWORD size);

// The start of the file-name part of path: the character after the last '/'
// or '\\'. Returns a pointer into path (to its terminating zero when path ends
// in a separator), or null when path is null or holds no separator.
const wchar_t* FU_FindFilename(const wchar_t* path);
