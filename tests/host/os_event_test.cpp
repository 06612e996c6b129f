#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

using colorcorrect::WAIT_OBJECT_0;
using colorcorrect::WAIT_TIMEOUT;

TEST(OSEventSemantics, ManualResetStaysSetUntilReset)
{
    COSEvent event(nullptr, 1, 0, nullptr);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
    event.Set();
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(10), WAIT_OBJECT_0);
    event.Reset();
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(OSEventSemantics, AutomaticResetIsConsumedByOneWait)
{
    COSEvent event(nullptr, 0, 0, nullptr);
    event.Set();
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(OSEventSemantics, SignalsDoNotCountUp)
{
    COSEvent event(nullptr, 0, 0, nullptr);
    event.Set();
    event.Set();
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(OSEventSemantics, ResetClearsAnAutomaticEventToo)
{
    COSEvent event(nullptr, 0, 1, nullptr);
    event.Reset();
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(OSEventSemantics, InitialStateIsHonoured)
{
    COSEvent manualSet(nullptr, 1, 1, nullptr);
    EXPECT_EQ(manualSet.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(manualSet.Wait(0), WAIT_OBJECT_0);

    COSEvent autoSet(nullptr, 0, 1, L"ignored name");
    EXPECT_EQ(autoSet.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(autoSet.Wait(0), WAIT_TIMEOUT);

    COSEvent manualClear(nullptr, 1, 0, nullptr);
    EXPECT_EQ(manualClear.Wait(0), WAIT_TIMEOUT);
}

TEST(OSEventSemantics, TimedWaitOnAClearEventReturnsTheTimeOutCode)
{
    COSEvent manual(nullptr, 1, 0, nullptr);
    EXPECT_EQ(manual.Wait(20), 0x102u);
    COSEvent automatic(nullptr, 0, 0, nullptr);
    EXPECT_EQ(automatic.Wait(20), 0x102u);
}

TEST(OSEventSemantics, WaitCodesHaveTheHostValues)
{
    EXPECT_EQ(colorcorrect::WAIT_OBJECT_0, 0u);
    EXPECT_EQ(colorcorrect::WAIT_TIMEOUT, 0x102u);
    EXPECT_EQ(colorcorrect::WAIT_FAILED, 0xFFFFFFFFu);
    EXPECT_EQ(colorcorrect::INFINITE, 0xFFFFFFFFu);
}
