#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/resource.h>
#include <unistd.h>

TEST(ThreadPriority, LevelsHaveTheHostValues)
{
    EXPECT_EQ(THREAD_PRIORITY_LOWEST, -2);
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, -1);
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, 0);
    EXPECT_EQ(THREAD_PRIORITY_ABOVE_NORMAL, 1);
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, 2);
}

TEST(ThreadPriority, PseudoHandleIsTheSameEverywhere)
{
    EXPECT_NE(GetCurrentThread(), nullptr);
    EXPECT_EQ(GetCurrentThread(), GetCurrentThread());
}

TEST(ThreadPriority, OtherHandlesAreRefused)
{
    EXPECT_EQ(SetThreadPriority(nullptr, THREAD_PRIORITY_NORMAL), 0);
    int somewhere = 0;
    EXPECT_EQ(SetThreadPriority(&somewhere, THREAD_PRIORITY_NORMAL), 0);
}

TEST(ThreadPriority, UnknownLevelsAreRefused)
{
    for (int level : {-3, 3, -15, 15, 100})
        EXPECT_EQ(SetThreadPriority(GetCurrentThread(), level), 0) << level;
}

TEST(ThreadPriority, NormalIsTheProcessBaseAndLevelsAreSteps)
{
    errno = 0;
    const int processNice = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    ASSERT_EQ(errno, 0);
    EXPECT_EQ(colorcorrect::NiceForPriority(THREAD_PRIORITY_NORMAL), processNice);
    for (int level = THREAD_PRIORITY_LOWEST; level <= THREAD_PRIORITY_HIGHEST; ++level) {
        const int expected = std::clamp(processNice - level * colorcorrect::NICE_STEP, -20, 19);
        EXPECT_EQ(colorcorrect::NiceForPriority(level), expected) << level;
    }
}
