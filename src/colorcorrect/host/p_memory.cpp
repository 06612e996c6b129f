#include "p_memory.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "allocation_budget.h"

namespace {

colorcorrect::AllocationBudget s_budget;

constexpr std::align_val_t kAlign{colorcorrect::MEMORY_BLOCK_ALIGNMENT};

BYTE* AllocateBlock(unsigned long size)
{
    if (size == 0 || !s_budget.Take())
        return nullptr;
    return static_cast<BYTE*>(::operator new(size, kAlign, std::nothrow));
}

void ReleaseBlock(BYTE* p)
{
    if (p != nullptr)
        ::operator delete(p, kAlign);
}

} // namespace

CPMemory::CPMemory(const CPMemory& other)
{
    if (other.m_pData == nullptr)
        return;
    m_pData = AllocateBlock(other.m_ulSize);
    if (m_pData == nullptr)
        return;
    std::memcpy(m_pData, other.m_pData, other.m_ulSize);
    m_ulSize = other.m_ulSize;
}

CPMemory::CPMemory(CPMemory&& other) noexcept
    : m_pData(std::exchange(other.m_pData, nullptr)), m_ulSize(std::exchange(other.m_ulSize, 0))
{
}

CPMemory& CPMemory::operator=(const CPMemory& other)
{
    if (this == &other)
        return *this;
    // A block of the same size is reused: scope backgrounds are copied into
    // the same display picture frame after frame, and a fresh block would be
    // allocated and its pages touched for the first time on every frame.
    if (m_pData != nullptr && other.m_pData != nullptr && m_ulSize == other.m_ulSize) {
        std::memcpy(m_pData, other.m_pData, m_ulSize);
        return *this;
    }
    CPMemory copy(other);
    *this = std::move(copy);
    return *this;
}

CPMemory& CPMemory::operator=(CPMemory&& other) noexcept
{
    if (this != &other) {
        Free();
        m_pData = std::exchange(other.m_pData, nullptr);
        m_ulSize = std::exchange(other.m_ulSize, 0);
    }
    return *this;
}

CPMemory::~CPMemory()
{
    Free();
}

void CPMemory::Free()
{
    ReleaseBlock(m_pData);
    m_pData = nullptr;
    m_ulSize = 0;
}

int CPMemory::Realloc(unsigned long size, unsigned long /*flags*/, int keep)
{
    if (size == 0xFFFFFFFFul)
        return 1;
    if (size == 0) {
        Free();
        return 1;
    }
    BYTE* block = AllocateBlock(size);
    if (block == nullptr)
        return 0;
    const unsigned long kept = keep != 0 && m_pData != nullptr ? std::min(size, m_ulSize) : 0;
    if (kept != 0)
        std::memcpy(block, m_pData, kept);
    std::memset(block + kept, 0, size - kept);
    ReleaseBlock(m_pData);
    m_pData = block;
    m_ulSize = size;
    return 1;
}

namespace colorcorrect {

void SetBlockAllocationBudget(long count)
{
    s_budget.Set(count < 0 ? -1 : count);
}

} // namespace colorcorrect
