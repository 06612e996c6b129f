#pragma once
// One owned, 64-byte aligned byte block: the host's memory block class. A
// picture keeps its header and pixels in one of these.

#include "win_types.h"

class CPMemory {
public:
    CPMemory() = default;
    // Copies are independent: the new block holds its own copy of the bytes.
    // When the copy cannot be allocated the new block is empty.
    CPMemory(const CPMemory& other);
    CPMemory(CPMemory&& other) noexcept;
    // Independent copy; when the copy cannot be allocated this block ends up
    // empty. Self-assignment leaves the block as it is.
    CPMemory& operator=(const CPMemory& other);
    CPMemory& operator=(CPMemory&& other) noexcept;
    ~CPMemory();

    // The first byte, 64-byte aligned; null when the block is empty.
    operator BYTE*() { return m_pData; }
    operator const BYTE*() const { return m_pData; }

    // Releases the block; it is empty afterwards.
    void Free();

    // Changes the block's size.
    //  size  new size in bytes. 0xFFFFFFFF keeps size and content: since every
    //        block is already its own (copies are independent), that is a
    //        no-op returning 1. 0 empties the block and returns 1.
    //  flags accepted for the host's interface; no flag changes the result.
    //  keep  nonzero: the first min(old, new) bytes keep their values;
    //        0: the content is not kept.
    // Bytes not kept are zero. Returns 1, or 0 when the allocation is refused;
    // the block is then unchanged (same address, size and content).
    int Realloc(unsigned long size, unsigned long flags = 0, int keep = 0);

    // Size in bytes; 0 when empty.
    unsigned long GetSize() const { return m_ulSize; }

protected:
    BYTE* m_pData = nullptr;
    unsigned long m_ulSize = 0;
};

namespace colorcorrect {

// Alignment of every CPMemory block, in bytes.
inline constexpr unsigned long MEMORY_BLOCK_ALIGNMENT = 64;

// Test hook: allow `count` further block allocations (CPMemory and therefore
// pictures), then refuse every one until the budget is set again. A negative
// count means no limit (the start). Process-wide.
void SetBlockAllocationBudget(long count);

} // namespace colorcorrect
