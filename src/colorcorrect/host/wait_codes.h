#pragma once
// Results and time-outs of the waits on events and threads.

#include "win_types.h"

namespace colorcorrect {

// The object was signalled (an event was set, a thread has ended).
inline constexpr DWORD WAIT_OBJECT_0 = 0x0;
// The time-out passed before the object was signalled.
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
// The wait could not be made (for example on a thread that never started).
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
// As a time-out: wait without limit.
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

} // namespace colorcorrect
