// Events, locks and threads. Waits for what must happen are generous: nothing depends on timing.
#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using colorcorrect::INFINITE;
using colorcorrect::WAIT_OBJECT_0;
using colorcorrect::WAIT_TIMEOUT;

namespace {

constexpr DWORD kGenerousMs = 60000;

// A thread routine's state: it waits for `release` and sets `finished` as its last act.
struct Gate {
    COSEvent release{nullptr, 1, 0, nullptr}, finished{nullptr, 1, 0, nullptr};
};

unsigned long WaitForRelease(void* p)
{
    auto* gate = static_cast<Gate*>(p);
    gate->release.Wait(INFINITE);
    gate->finished.Set();
    return 9;
}

} // namespace

TEST(HostThreads, EventsResetManuallyOrAutomatically)
{
    COSEvent manual(nullptr, 1, 1, L"names are ignored"), automatic(nullptr, 0, 1, nullptr);
    COSEvent passed(nullptr, 0, 0, nullptr);
    EXPECT_EQ(manual.Wait(0) + manual.Wait(10) + automatic.Wait(0), WAIT_OBJECT_0) << "initially set";
    EXPECT_EQ(automatic.Wait(10), WAIT_TIMEOUT) << "an automatic event is consumed";
    automatic.Set();
    automatic.Set(); // signals do not count up
    EXPECT_EQ(automatic.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(automatic.Wait(0), WAIT_TIMEOUT);
    manual.Reset();
    EXPECT_EQ(manual.Wait(0), WAIT_TIMEOUT);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            EXPECT_EQ(manual.Wait(INFINITE), WAIT_OBJECT_0);
            EXPECT_EQ(automatic.Wait(kGenerousMs), WAIT_OBJECT_0);
            released.fetch_add(1);
            passed.Set();
        });
    manual.Set(); // releases every waiter
    for (int k = 1; k <= 3; ++k) {
        automatic.Set(); // releases one
        ASSERT_EQ(passed.Wait(kGenerousMs), WAIT_OBJECT_0);
        EXPECT_EQ(released.load(), k) << "nobody else passes on the same signal";
        EXPECT_EQ(automatic.Wait(0), WAIT_TIMEOUT) << "and it is used up";
    }
    for (auto& t : waiters)
        t.join();
}

TEST(HostThreads, CriticalSectionIsReentrantKeepsTheOutermostTagAndExcludes)
{
    static const char kOuter[] = "outer";
    for (int spin : {0, 4000}) {
        COSCriticalSection cs(spin);
        cs.Leave(); // not the owner: ignored
        {
            colorcorrect::CriticalSectionLock outer(cs, kOuter), inner(cs, "inner");
            std::thread([&] {
                EXPECT_EQ(cs.GetAddress(), kOuter);
                cs.Leave(); // not the owner: must not release the lock
            }).join();
            EXPECT_EQ(cs.GetAddress(), kOuter);
        }
        EXPECT_EQ(cs.GetAddress(), nullptr);
        // Each increment follows a nested Leave: a lock released by it would
        // lose counts (and ThreadSanitizer would report the race).
        long counter = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 5000; ++i) {
                    colorcorrect::CriticalSectionLock lock(cs, kOuter);
                    colorcorrect::CriticalSectionLock(cs, "nested"); // entered and left at once
                    const long seen = counter;
                    std::this_thread::yield();
                    counter = seen + 1;
                }
            });
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(counter, 20000) << "spin " << spin;
    }
}

TEST(HostThreads, ThreadsReportTheirResultToEveryWaiter)
{
    Gate gate;
    CThread thread(nullptr, 0, WaitForRelease, &gate, 0);
    EXPECT_EQ(thread.Wait(20), WAIT_TIMEOUT);
    unsigned long code = 1234;
    EXPECT_EQ(thread.GetExitCode(code), 0);
    EXPECT_EQ(code, 1234ul) << "unchanged while running";
    DWORD other = 0xDEAD;
    std::thread waiter([&] { other = thread.Wait(kGenerousMs); });
    gate.release.Set();
    EXPECT_EQ(thread.Wait(INFINITE), WAIT_OBJECT_0);
    waiter.join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
    EXPECT_EQ(thread.Terminate(99) + thread.GetExitCode(code), 2);
    EXPECT_EQ(code, 9ul) << "an ended thread keeps its own code";

    // An escaping exception ends the thread; with debug lines on it is named.
    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    CThread throwing(nullptr, 0, [](void*) -> unsigned long { throw std::runtime_error("worker fault"); }, nullptr, 0);
    EXPECT_EQ(throwing.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\rAnalyseException: std::runtime_error: worker fault\r\n");
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_EQ(throwing.GetExitCode(code), 1);
    EXPECT_EQ(code, colorcorrect::THREAD_EXIT_UNHANDLED_EXCEPTION);
    CThread refused(nullptr, 0, nullptr, nullptr, 0), withFlags(nullptr, 0, WaitForRelease, &gate, 0x4);
    EXPECT_EQ(refused.IsCreated() + withFlags.IsCreated() + refused.GetExitCode(code) + refused.Terminate(0), 0);
    EXPECT_EQ(refused.Wait(INFINITE), colorcorrect::WAIT_FAILED);
}

// Terminate and the destructor abandon a running thread: it ends on its own.
TEST(HostThreads, AbandonedThreadsRunToTheirEnd)
{
    Gate terminated, deleted;
    {
        CThread thread(nullptr, 0, WaitForRelease, &terminated, 0);
        CThread(nullptr, 0, WaitForRelease, &deleted, 0); // deleted at once
        EXPECT_EQ(thread.Terminate(5), 1);
        EXPECT_EQ(thread.Terminate(6), 1);
        unsigned long code = 0;
        EXPECT_EQ(thread.Wait(0) + thread.GetExitCode(code), 1u);
        EXPECT_EQ(code, 5ul) << "the first code given";
    }
    for (Gate* gate : {&terminated, &deleted}) {
        EXPECT_EQ(gate->finished.Wait(0), WAIT_TIMEOUT) << "the thread was not stopped";
        gate->release.Set();
        EXPECT_EQ(gate->finished.Wait(kGenerousMs), WAIT_OBJECT_0);
    }
}

TEST(HostThreads, PriorityLowersOnlyTheCallingThread)
{
    auto ownNice = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); };
    const int mainBefore = ownNice();
    int nice = 0;
    std::thread([&] { nice = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST) ? ownNice() : 99; }).join();
    EXPECT_EQ(nice, colorcorrect::NiceForPriority(THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(ownNice(), mainBefore);
    EXPECT_EQ(SetThreadPriority(nullptr, 0) + SetThreadPriority(GetCurrentThread(), 3), 0) << "refused";
}
