#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

class CriticalSectionExclusion : public testing::TestWithParam<int> {};

} // namespace

// Each increment runs inside a nested Enter whose inner Leave has already
// happened: a lock that were released by the inner Leave would lose counts
// (and ThreadSanitizer would report the race).
TEST_P(CriticalSectionExclusion, CounterIsNeverLost)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 10000;
    COSCriticalSection cs(GetParam());
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                cs.Enter("outer");
                cs.Enter("inner");
                cs.Leave();
                const long seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                cs.Leave();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, long{kThreads} * kRounds);
}

INSTANTIATE_TEST_SUITE_P(Spin, CriticalSectionExclusion, testing::Values(0, 4000));

TEST(CriticalSectionThreads, OtherThreadsSeeTheOwnersTag)
{
    static const char kTag[] = "owner tag";
    COSCriticalSection cs(0);
    cs.Enter(kTag);
    const char* seen = nullptr;
    std::thread reader([&] { seen = cs.GetAddress(); });
    reader.join();
    cs.Leave();
    EXPECT_EQ(seen, kTag);
}

TEST(CriticalSectionThreads, LeaveFromAnotherThreadDoesNotReleaseTheLock)
{
    static const char kTag[] = "main";
    COSCriticalSection cs(0);
    cs.Enter(kTag);
    std::thread intruder([&] { cs.Leave(); });
    intruder.join();
    EXPECT_EQ(cs.GetAddress(), kTag);

    // The lock must still keep a second thread out until the owner leaves:
    // its write has to come after ours.
    int value = 0;
    std::thread second([&] {
        cs.Enter("second");
        value = 2;
        cs.Leave();
    });
    value = 1;
    cs.Leave();
    second.join();
    EXPECT_EQ(value, 2);
}
