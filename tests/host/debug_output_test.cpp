#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(DebugOutput, OnlyWhenTheVariableIsOne)
{
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_EQ(IsDebugOn(), 0);
    setenv("COLORCORRECT_DEBUG", "0", 1);
    EXPECT_EQ(IsDebugOn(), 0);
    setenv("COLORCORRECT_DEBUG", "1", 1);
    EXPECT_NE(IsDebugOn(), 0);
    unsetenv("COLORCORRECT_DEBUG");
}

TEST(DebugOutput, WritesTheFormattedTextExactly)
{
    testing::internal::CaptureStderr();
    wPrintf(11, 4, L"\rCBaseColorCorrectionFilter::SetupFilter: %ums\r\n", 12u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\rCBaseColorCorrectionFilter::SetupFilter: 12ms\r\n");
}
