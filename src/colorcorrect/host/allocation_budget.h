#pragma once
// How many more allocations may succeed, so that tests can make memory run
// out at a chosen call. -1, the start, means no limit.

#include <atomic>

namespace colorcorrect {

class AllocationBudget {
public:
    void Set(long count) { m_left.store(count); }

    // False when the budget is spent; otherwise takes one (if limited).
    bool Take()
    {
        long left = m_left.load();
        while (left >= 0) {
            if (left == 0)
                return false;
            if (m_left.compare_exchange_weak(left, left - 1))
                return true;
        }
        return true;
    }

private:
    std::atomic<long> m_left{-1};
};

} // namespace colorcorrect
