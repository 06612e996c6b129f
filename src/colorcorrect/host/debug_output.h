#pragma once
// Debug lines. They are printed to standard error when the environment
// variable COLORCORRECT_DEBUG is "1" at the time of the call.

#include "win_types.h"

// Nonzero when debug lines are enabled.
BOOL IsDebugOn();
// Formats like swprintf and writes the text to standard error as UTF-8,
// exactly as formatted (control characters included). `level` and `flags`
// classify the line for the host; they are not printed.
void wPrintf(int level, int flags, const wchar_t* format, ...);

namespace colorcorrect {

// Milliseconds from its construction, for the debug lines that say how long a
// call took.
class DebugTimer {
public:
    DebugTimer();
    // When debug lines are on, writes `format`, whose one %u receives the
    // milliseconds elapsed (see wPrintf).
    void Report(int level, int flags, const wchar_t* format) const;

private:
    DWORD m_start;
};

} // namespace colorcorrect
