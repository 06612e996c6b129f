#include "virtual_memory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

#include "allocation_budget.h"

namespace {

colorcorrect::AllocationBudget s_budget;

// The block's mapping size is kept in a header page in front of it, because
// the release call does not pass it back.
size_t PageSize()
{
    static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

} // namespace

void* VirtualAlloc(void* address, size_t size, DWORD allocationType, DWORD protect)
{
    if (address != nullptr || size == 0 || (allocationType & MEM_COMMIT) == 0 ||
        protect != PAGE_READWRITE)
        return nullptr;
    const size_t page = PageSize();
    if (size > SIZE_MAX - 2 * page || !s_budget.Take())
        return nullptr;
    const size_t total = (size + page - 1) / page * page + page;
    void* base = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    *static_cast<size_t*>(base) = total;
    return static_cast<BYTE*>(base) + page;
}

BOOL VirtualFree(void* address, size_t size, DWORD freeType)
{
    if (address == nullptr || size != 0 || freeType != MEM_RELEASE)
        return 0;
    BYTE* base = static_cast<BYTE*>(address) - PageSize();
    return munmap(base, *reinterpret_cast<size_t*>(base)) == 0 ? 1 : 0;
}

namespace colorcorrect {

void SetPageAllocationBudget(long count)
{
    s_budget.Set(count < 0 ? -1 : count);
}

} // namespace colorcorrect
