#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

int OwnNice()
{
    errno = 0;
    const int nice =
        getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    return errno != 0 ? -1000 : nice;
}

struct PriorityRun {
    BOOL lowered = 0;
    int niceBelowNormal = 0;
    BOOL lowest = 0;
    int niceLowest = 0;
    BOOL raised = 0;
    int niceAfterRaise = 0;
};

} // namespace

TEST(ThreadPriorityThreads, LoweringTheCallingThreadWorks)
{
    const int mainBefore = OwnNice();
    PriorityRun run;
    std::thread worker([&run] {
        run.lowered = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        run.niceBelowNormal = OwnNice();
        run.lowest = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
        run.niceLowest = OwnNice();
        run.raised = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
        run.niceAfterRaise = OwnNice();
    });
    worker.join();

    EXPECT_EQ(run.lowered, 1);
    EXPECT_EQ(run.niceBelowNormal, colorcorrect::NiceForPriority(THREAD_PRIORITY_BELOW_NORMAL));
    EXPECT_EQ(run.lowest, 1);
    EXPECT_EQ(run.niceLowest, colorcorrect::NiceForPriority(THREAD_PRIORITY_LOWEST));
    // Going back up may need privilege; either it worked or nothing changed.
    if (run.raised)
        EXPECT_EQ(run.niceAfterRaise, colorcorrect::NiceForPriority(THREAD_PRIORITY_NORMAL));
    else
        EXPECT_EQ(run.niceAfterRaise, colorcorrect::NiceForPriority(THREAD_PRIORITY_LOWEST));

    EXPECT_EQ(OwnNice(), mainBefore) << "only the calling thread changes";
}

TEST(ThreadPriorityThreads, WorksOnAHostThreadToo)
{
    struct Probe {
        BOOL result = 0;
        int nice = 0;
    } probe;
    CThread thread(
        nullptr, 0,
        [](void* p) -> unsigned long {
            auto* probe = static_cast<Probe*>(p);
            probe->result = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
            probe->nice = OwnNice();
            return 0;
        },
        &probe, 0);
    ASSERT_EQ(thread.IsCreated(), 1);
    ASSERT_EQ(thread.Wait(60000), colorcorrect::WAIT_OBJECT_0);
    EXPECT_EQ(probe.result, 1);
    EXPECT_EQ(probe.nice, colorcorrect::NiceForPriority(THREAD_PRIORITY_BELOW_NORMAL));
}
