#pragma once
// Page allocation for large scratch tables (segment indexes, scope buffers,
// the FFT block), in place of the operating system's virtual-memory calls.
// Blocks come back zeroed and are returned whole.

#include <cstddef>

#include "win_types.h"

inline constexpr DWORD MEM_COMMIT = 0x1000;
inline constexpr DWORD MEM_RELEASE = 0x8000;
inline constexpr DWORD PAGE_READWRITE = 0x04;

// A committed, zeroed, read-write block of `size` bytes, or null when the
// system refuses. `address` must be null; other types than MEM_COMMIT refuse.
void* VirtualAlloc(void* address, size_t size, DWORD allocationType, DWORD protect);
// Releases a block from VirtualAlloc; `size` must be 0 and `freeType`
// MEM_RELEASE. A null pointer is refused (0).
BOOL VirtualFree(void* address, size_t size, DWORD freeType);

namespace colorcorrect {

// Test hook: allow `count` further page allocations, then refuse every one
// until the budget is set again. A negative count means no limit (the start).
void SetPageAllocationBudget(long count);

} // namespace colorcorrect
