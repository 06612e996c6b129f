#pragma once
// Scheduling priority of the calling thread, in the host's five levels.
//
// The levels map onto the thread's nice value, relative to the nice value the
// process had when the library was loaded (its base): each level below normal
// adds colorcorrect::NICE_STEP, each level above subtracts it, within the
// system's range -20..19. Only the calling thread can be changed.

#include "win_types.h"

inline constexpr int THREAD_PRIORITY_LOWEST = -2;
inline constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
inline constexpr int THREAD_PRIORITY_NORMAL = 0;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
inline constexpr int THREAD_PRIORITY_HIGHEST = 2;

// A pseudo handle that stands for the calling thread wherever it is used (the
// same value in every thread; it needs no closing).
void* GetCurrentThread();

// Sets the priority of the calling thread. thread must be the value of
// GetCurrentThread(); any other handle is refused. priority is one of the
// THREAD_PRIORITY_ levels (-2..2); other values are refused.
// Returns 1 on success, 0 when refused. Raising the priority (lowering the
// nice value), also back to a level the thread had before, needs privilege on
// most systems: without it the call returns 0 and the priority stays as it
// was.
BOOL SetThreadPriority(void* thread, int priority);

namespace colorcorrect {

// Nice-value distance between neighbouring priority levels.
inline constexpr int NICE_STEP = 5;

// The nice value that a thread at `priority` (-2..2) gets: the base nice value
// of the process minus priority * NICE_STEP, kept within -20..19.
int NiceForPriority(int priority);

} // namespace colorcorrect
