#pragma once
// Millisecond tick counter for the debug timing lines.

#include "win_types.h"

// Milliseconds from a fixed start, monotonic, wrapping at 2^32.
DWORD GetTickCount();
