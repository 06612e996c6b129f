#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using colorcorrect::WAIT_OBJECT_0;
using colorcorrect::WAIT_TIMEOUT;

namespace {

// Long enough never to pass on a loaded machine; a correct run never waits
// for it.
constexpr DWORD kGenerousMs = 60000;

} // namespace

TEST(OSEventThreads, SetFromAnotherThreadWakesAWaiter)
{
    for (BOOL manual : {1, 0}) {
        COSEvent event(nullptr, manual, 0, nullptr);
        std::thread setter([&event] { event.Set(); });
        EXPECT_EQ(event.Wait(kGenerousMs), WAIT_OBJECT_0) << "manual reset " << manual;
        setter.join();
    }
}

TEST(OSEventThreads, InfiniteWaitReturnsOnceSet)
{
    COSEvent event(nullptr, 0, 0, nullptr);
    DWORD result = 0xDEAD;
    std::thread waiter([&] { result = event.Wait(colorcorrect::INFINITE); });
    event.Set();
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
}

TEST(OSEventThreads, ManualResetReleasesAllWaiters)
{
    constexpr int kWaiters = 4;
    COSEvent event(nullptr, 1, 0, nullptr);
    std::vector<DWORD> results(kWaiters, 0xDEAD);
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i)
        waiters.emplace_back([&event, &results, i] { results[i] = event.Wait(kGenerousMs); });
    event.Set();
    for (auto& t : waiters)
        t.join();
    for (int i = 0; i < kWaiters; ++i)
        EXPECT_EQ(results[i], WAIT_OBJECT_0) << "waiter " << i;
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0) << "a manual-reset event stays set";
}

TEST(OSEventThreads, AutomaticResetReleasesOneWaiterPerSet)
{
    constexpr int kWaiters = 3;
    COSEvent event(nullptr, 0, 0, nullptr);
    COSEvent passed(nullptr, 0, 0, nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.emplace_back([&] {
            if (event.Wait(colorcorrect::INFINITE) == WAIT_OBJECT_0) {
                released.fetch_add(1);
                passed.Set();
            }
        });
    }
    for (int k = 1; k <= kWaiters; ++k) {
        event.Set();
        EXPECT_EQ(passed.Wait(kGenerousMs), WAIT_OBJECT_0) << "set " << k;
        // Nobody else may pass on the same signal, and it is used up.
        EXPECT_EQ(released.load(), k) << "set " << k;
        EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT) << "set " << k;
    }
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released.load(), kWaiters);
}
