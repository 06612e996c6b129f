#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const kOuter = "outer";
const char* const kInner = "inner";

} // namespace

TEST(CriticalSection, OwnerMayEnterAgainAndKeepsTheOutermostTag)
{
    COSCriticalSection cs(0);
    EXPECT_EQ(cs.GetAddress(), nullptr);
    cs.Enter(kOuter);
    EXPECT_EQ(cs.GetAddress(), kOuter);
    cs.Enter(kInner);
    EXPECT_EQ(cs.GetAddress(), kOuter);
    cs.Leave();
    EXPECT_EQ(cs.GetAddress(), kOuter) << "still held once";
    cs.Leave();
    EXPECT_EQ(cs.GetAddress(), nullptr);
}

TEST(CriticalSection, TagOfTheNextOwnerReplacesTheOld)
{
    COSCriticalSection cs(0);
    cs.Enter(kOuter);
    cs.Leave();
    cs.Enter(kInner);
    EXPECT_EQ(cs.GetAddress(), kInner);
    cs.Leave();
    cs.Enter();
    EXPECT_EQ(cs.GetAddress(), nullptr);
    cs.Leave();
}

TEST(CriticalSection, LeaveWithoutEnterIsIgnored)
{
    COSCriticalSection cs(0);
    cs.Leave();
    cs.Enter(kOuter);
    EXPECT_EQ(cs.GetAddress(), kOuter);
    cs.Leave();
    cs.Leave();
    EXPECT_EQ(cs.GetAddress(), nullptr);
}

TEST(CriticalSection, GuardEntersAndLeaves)
{
    COSCriticalSection cs(100);
    {
        colorcorrect::CriticalSectionLock outer(cs, kOuter);
        EXPECT_EQ(cs.GetAddress(), kOuter);
        {
            colorcorrect::CriticalSectionLock inner(cs, kInner);
            EXPECT_EQ(cs.GetAddress(), kOuter);
        }
        EXPECT_EQ(cs.GetAddress(), kOuter);
    }
    EXPECT_EQ(cs.GetAddress(), nullptr);
}

namespace {

// A plain function: compilers without std::source_location name only the
// function itself, not the test class around a test body.
const char* TagOfAPlainFunction()
{
    return GetAddress();
}

} // namespace

TEST(CriticalSection, FreeGetAddressNamesTheCallingFunction)
{
    const std::string tag = TagOfAPlainFunction();
    EXPECT_NE(tag.find("TagOfAPlainFunction"), std::string::npos) << tag;
}
