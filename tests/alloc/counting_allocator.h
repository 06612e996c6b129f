#pragma once
// Replaces the global operator new and delete of the test program (every
// form) with ones that count the allocations while armed and refuse the n-th:
// the throwing forms throw std::bad_alloc, the nothrow forms return null.
// Allocations of every thread count, so a library worker's are tried too.

#include <cstddef>

namespace colorcorrect::test {

// One at a time: the count is the program's, so a new one starts it afresh.
class AllocationFault {
public:
    // Arms the count: allocation number `failAt` (1-based) is refused; 0
    // counts without refusing. With `otherThreadsGetNothing`, every
    // allocation of a thread other than the calling one is refused instead.
    explicit AllocationFault(long failAt, bool otherThreadsGetNothing = false);
    // Disarms.
    ~AllocationFault();
    AllocationFault(const AllocationFault&) = delete;
    AllocationFault& operator=(const AllocationFault&) = delete;

    // Allocations counted so far (also after Disarm).
    long Count() const;
    // True once an allocation was refused.
    bool Refused() const;
    void Disarm();
};

} // namespace colorcorrect::test
