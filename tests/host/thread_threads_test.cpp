#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using colorcorrect::WAIT_OBJECT_0;
using colorcorrect::WAIT_TIMEOUT;

namespace {

constexpr DWORD kGenerousMs = 60000;

// State a test owns and hands to its thread routine.
struct Gate {
    COSEvent release{nullptr, 1, 0, nullptr};  // the routine waits for it
    COSEvent finished{nullptr, 1, 0, nullptr}; // the routine's last act
    bool ranToEnd = false;                     // written before finished is set
    unsigned long result = 0;
};

unsigned long WaitForRelease(void* p)
{
    auto* gate = static_cast<Gate*>(p);
    gate->release.Wait(colorcorrect::INFINITE);
    gate->ranToEnd = true;
    const unsigned long result = gate->result;
    gate->finished.Set(); // the gate may be gone after this
    return result;
}

unsigned long ReturnParamPlusOne(void* p)
{
    auto* value = static_cast<unsigned long*>(p);
    *value += 1;
    return *value;
}

unsigned long Throw(void*)
{
    throw std::runtime_error("worker fault");
}

unsigned long ThrowInt(void*)
{
    throw 17;
}

} // namespace

TEST(ThreadRun, RunsTheRoutineAndReportsItsResult)
{
    unsigned long value = 41;
    CThread thread(nullptr, 0, ReturnParamPlusOne, &value, 0);
    ASSERT_EQ(thread.IsCreated(), 1);
    EXPECT_EQ(thread.Wait(kGenerousMs), WAIT_OBJECT_0);
    unsigned long code = 0;
    EXPECT_EQ(thread.GetExitCode(code), 1);
    EXPECT_EQ(code, 42ul);
    EXPECT_EQ(value, 42ul);
    EXPECT_EQ(thread.Wait(0), WAIT_OBJECT_0) << "an ended thread stays ended";
}

TEST(ThreadRun, InfiniteWaitReturnsWhenTheThreadEnds)
{
    Gate gate;
    gate.result = 3;
    CThread thread(nullptr, 0, WaitForRelease, &gate, 0);
    ASSERT_EQ(thread.IsCreated(), 1);
    gate.release.Set();
    EXPECT_EQ(thread.Wait(colorcorrect::INFINITE), WAIT_OBJECT_0);
    unsigned long code = 0;
    EXPECT_EQ(thread.GetExitCode(code), 1);
    EXPECT_EQ(code, 3ul);
}

TEST(ThreadRun, WaitTimesOutAndNoExitCodeWhileRunning)
{
    Gate gate;
    gate.result = 9;
    CThread thread(nullptr, 0, WaitForRelease, &gate, 0);
    ASSERT_EQ(thread.IsCreated(), 1);
    EXPECT_EQ(thread.Wait(50), WAIT_TIMEOUT);
    EXPECT_EQ(thread.Wait(0), WAIT_TIMEOUT);
    unsigned long code = 1234;
    EXPECT_EQ(thread.GetExitCode(code), 0);
    EXPECT_EQ(code, 1234ul) << "left unchanged while running";
    gate.release.Set();
    EXPECT_EQ(thread.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_EQ(thread.GetExitCode(code), 1);
    EXPECT_EQ(code, 9ul);
}

TEST(ThreadRun, SeveralThreadsMayWaitForTheSameThread)
{
    Gate gate;
    CThread thread(nullptr, 0, WaitForRelease, &gate, 0);
    ASSERT_EQ(thread.IsCreated(), 1);
    DWORD other = 0xDEAD;
    std::thread waiter([&] { other = thread.Wait(kGenerousMs); });
    gate.release.Set();
    EXPECT_EQ(thread.Wait(kGenerousMs), WAIT_OBJECT_0);
    waiter.join();
    EXPECT_EQ(other, WAIT_OBJECT_0);
}

TEST(ThreadAbandon, TerminatedThreadEndsOnItsOwnAfterTheObjectIsDeleted)
{
    Gate gate;
    gate.result = 77;
    auto thread = std::make_unique<CThread>(nullptr, 0, WaitForRelease, &gate, 0);
    ASSERT_EQ(thread->IsCreated(), 1);
    EXPECT_EQ(thread->Wait(50), WAIT_TIMEOUT);

    EXPECT_EQ(thread->Terminate(5), 1);
    // The object now reports the thread as ended with the given code.
    EXPECT_EQ(thread->Wait(0), WAIT_OBJECT_0);
    unsigned long code = 0;
    EXPECT_EQ(thread->GetExitCode(code), 1);
    EXPECT_EQ(code, 5ul);
    EXPECT_EQ(gate.finished.Wait(0), WAIT_TIMEOUT) << "the thread itself was not stopped";

    thread.reset();
    gate.release.Set();
    ASSERT_EQ(gate.finished.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_TRUE(gate.ranToEnd);
}

TEST(ThreadAbandon, DeletingARunningThreadDoesNotBlock)
{
    Gate gate;
    auto thread = std::make_unique<CThread>(nullptr, 0, WaitForRelease, &gate, 0);
    ASSERT_EQ(thread->IsCreated(), 1);
    thread.reset(); // must return while the routine still waits
    gate.release.Set();
    ASSERT_EQ(gate.finished.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_TRUE(gate.ranToEnd);
}

TEST(ThreadAbandon, TerminateAfterTheEndKeepsTheThreadsOwnCode)
{
    unsigned long value = 4;
    CThread thread(nullptr, 0, ReturnParamPlusOne, &value, 0);
    ASSERT_EQ(thread.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_EQ(thread.Terminate(99), 1);
    unsigned long code = 0;
    EXPECT_EQ(thread.GetExitCode(code), 1);
    EXPECT_EQ(code, 5ul);
}

TEST(ThreadAbandon, SecondTerminateKeepsTheFirstCode)
{
    Gate gate;
    gate.result = 8;
    {
        CThread thread(nullptr, 0, WaitForRelease, &gate, 0);
        ASSERT_EQ(thread.IsCreated(), 1);
        EXPECT_EQ(thread.Terminate(1), 1);
        EXPECT_EQ(thread.Terminate(2), 1);
        unsigned long code = 0;
        EXPECT_EQ(thread.GetExitCode(code), 1);
        EXPECT_EQ(code, 1ul);
        // The routine's own end later does not change what the object says.
        gate.release.Set();
        ASSERT_EQ(gate.finished.Wait(kGenerousMs), WAIT_OBJECT_0);
        EXPECT_EQ(thread.GetExitCode(code), 1);
        EXPECT_EQ(code, 1ul);
    }
}

TEST(ThreadAbandon, ManyObjectsDeletedWhileTheirThreadsRun)
{
    constexpr int kThreads = 16;
    struct Shared {
        COSEvent go{nullptr, 1, 0, nullptr};
        COSEvent allDone{nullptr, 1, 0, nullptr};
        std::atomic<int> done{0};
    } shared;
    auto routine = [](void* p) -> unsigned long {
        auto* s = static_cast<Shared*>(p);
        s->go.Wait(colorcorrect::INFINITE);
        if (s->done.fetch_add(1) + 1 == kThreads)
            s->allDone.Set();
        return 0;
    };
    for (int i = 0; i < kThreads; ++i) {
        CThread thread(nullptr, 0, routine, &shared, 0);
        ASSERT_EQ(thread.IsCreated(), 1);
    }
    shared.go.Set();
    ASSERT_EQ(shared.allDone.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_EQ(shared.done.load(), kThreads);
}

TEST(ThreadCreation, RefusedWithoutARoutineOrWithFlags)
{
    CThread noRoutine(nullptr, 0, nullptr, nullptr, 0);
    EXPECT_EQ(noRoutine.IsCreated(), 0);
    EXPECT_EQ(noRoutine.Wait(0), colorcorrect::WAIT_FAILED);
    EXPECT_EQ(noRoutine.Wait(colorcorrect::INFINITE), colorcorrect::WAIT_FAILED);
    unsigned long code = 6;
    EXPECT_EQ(noRoutine.GetExitCode(code), 0);
    EXPECT_EQ(code, 6ul);
    EXPECT_EQ(noRoutine.Terminate(0), 0);
    noRoutine.Label("nothing");

    unsigned long value = 0;
    CThread withFlags(nullptr, 0, ReturnParamPlusOne, &value, 0x4);
    EXPECT_EQ(withFlags.IsCreated(), 0);
}

namespace {

struct StackProbe {
    COSEvent done{nullptr, 1, 0, nullptr};
    size_t stackSize = 0;
};

unsigned long MeasureStack(void* p)
{
    auto* probe = static_cast<StackProbe*>(p);
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &probe->stackSize);
        pthread_attr_destroy(&attr);
    }
    return 0;
}

size_t DefaultStackSize()
{
    pthread_attr_t attr;
    size_t size = 0;
    pthread_attr_init(&attr);
    pthread_attr_getstacksize(&attr, &size);
    pthread_attr_destroy(&attr);
    return size;
}

} // namespace

TEST(ThreadCreation, StackSizeIsAMinimum)
{
    const size_t defaultSize = DefaultStackSize();
    ASSERT_GT(defaultSize, 0u);

    StackProbe small;
    CThread tiny(nullptr, 1, MeasureStack, &small, 0);
    ASSERT_EQ(tiny.IsCreated(), 1);
    ASSERT_EQ(tiny.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_GE(small.stackSize, defaultSize);

    const unsigned int wanted = static_cast<unsigned int>(defaultSize) + 16u * 1024u * 1024u;
    StackProbe large;
    CThread big(nullptr, wanted, MeasureStack, &large, 0);
    ASSERT_EQ(big.IsCreated(), 1);
    ASSERT_EQ(big.Wait(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_GE(large.stackSize, wanted);
}

namespace {

struct NameProbe {
    COSEvent labelled{nullptr, 1, 0, nullptr};
    char name[32] = {};
};

unsigned long ReadOwnName(void* p)
{
    auto* probe = static_cast<NameProbe*>(p);
    probe->labelled.Wait(colorcorrect::INFINITE);
    pthread_getname_np(pthread_self(), probe->name, sizeof probe->name);
    return 0;
}

std::string NameAfterLabel(const char* label)
{
    NameProbe probe;
    CThread thread(nullptr, 0, ReadOwnName, &probe, 0);
    if (!thread.IsCreated())
        return "<not created>";
    thread.Label(label);
    probe.labelled.Set();
    if (thread.Wait(kGenerousMs) != WAIT_OBJECT_0)
        return "<did not end>";
    return probe.name;
}

} // namespace

TEST(ThreadLabel, ShortNamesAreKept)
{
    EXPECT_EQ(NameAfterLabel("preview"), "preview");
    EXPECT_EQ(NameAfterLabel("exactly15bytes!"), "exactly15bytes!");
}

TEST(ThreadLabel, LongNamesAreCutToFifteenBytes)
{
    EXPECT_EQ(NameAfterLabel("CColorCorrectionViewer::Preview"), "CColorCorrectio");
}

TEST(ThreadLabel, CutNeverSplitsACharacter)
{
    // 14 letters, then a two-byte character across the 15-byte limit.
    EXPECT_EQ(NameAfterLabel("abcdefghijklmn\xC3\xA9xyz"), "abcdefghijklmn");
}

TEST(ThreadLabel, LabellingAnEndedThreadIsIgnored)
{
    unsigned long value = 0;
    CThread thread(nullptr, 0, ReturnParamPlusOne, &value, 0);
    ASSERT_EQ(thread.Wait(kGenerousMs), WAIT_OBJECT_0);
    thread.Label("too late");
    thread.Label(nullptr);
    unsigned long code = 0;
    EXPECT_EQ(thread.GetExitCode(code), 1);
    EXPECT_EQ(code, 1ul);
}

TEST(ThreadException, EscapingExceptionEndsTheThreadWithADebugLine)
{
    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    {
        CThread thread(nullptr, 0, Throw, nullptr, 0);
        ASSERT_EQ(thread.IsCreated(), 1);
        EXPECT_EQ(thread.Wait(kGenerousMs), WAIT_OBJECT_0);
        unsigned long code = 0;
        EXPECT_EQ(thread.GetExitCode(code), 1);
        EXPECT_EQ(code, colorcorrect::THREAD_EXIT_UNHANDLED_EXCEPTION);
    }
    const std::string text = testing::internal::GetCapturedStderr();
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_NE(text.find("\rAnalyseException: "), std::string::npos) << text;
    EXPECT_NE(text.find("worker fault\r\n"), std::string::npos) << text;
}

TEST(ThreadException, NonStandardExceptionsAreCaughtToo)
{
    CThread thread(nullptr, 0, ThrowInt, nullptr, 0);
    ASSERT_EQ(thread.IsCreated(), 1);
    EXPECT_EQ(thread.Wait(kGenerousMs), WAIT_OBJECT_0);
    unsigned long code = 0;
    EXPECT_EQ(thread.GetExitCode(code), 1);
    EXPECT_EQ(code, colorcorrect::THREAD_EXIT_UNHANDLED_EXCEPTION);
}
