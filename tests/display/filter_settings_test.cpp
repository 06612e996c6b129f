#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>

#include "display_filter_access.h"

using colorcorrect::test::DisplayFilterAccess;
using colorcorrect::test::Record;

namespace {

// A record with two match vectors, vector 1 selecting (60, 20).
tagCOLORCORRINFO TwoVectors()
{
    tagCOLORCORRINFO cc = Record(CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].cU = 60;
    cc.Match.Vector[1].cV = 20;
    return cc;
}

// A filter set up with TwoVectors, so that its match checksum is a real one.
class SettingsFilter : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(f.SetupFilter(TwoVectors()));
        ASSERT_NE(f.m_dwMatchCRC, 0xFFFFFFFFu);
        built = f.m_dwMatchCRC;
    }
    DisplayFilterAccess f;
    uint32_t built = 0;
};

} // namespace

// ---- channel -------------------------------------------------------------------

TEST_F(SettingsFilter, ChannelAcceptsZeroToFour)
{
    for (unsigned c = 0; c <= 4; ++c) {
        EXPECT_EQ(f.SetChannel(c), 1);
        EXPECT_EQ(f.m_uChannel, c);
    }
    ASSERT_EQ(f.SetChannel(2), 1);
    for (unsigned c : {5u, 6u, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(f.SetChannel(c), 0) << c;
        EXPECT_EQ(f.m_uChannel, 2u);
    }
    EXPECT_EQ(f.m_dwMatchCRC, built);
}

// ---- isolate vector and type ---------------------------------------------------------

TEST_F(SettingsFilter, IsolateVectorOutOfRangeChangesNothing)
{
    EXPECT_EQ(f.SetIsolateVector(16), 0);
    EXPECT_EQ(f.SetIsolateVector(0xFFFFFFFFu), 0);
    EXPECT_EQ(f.m_uIsolateVector, 0u);
    EXPECT_EQ(f.m_dwMatchCRC, built);
}

TEST_F(SettingsFilter, SameIsolateVectorKeepsTheMatchBuild)
{
    EXPECT_EQ(f.SetIsolateVector(0), 1);
    EXPECT_EQ(f.m_dwMatchCRC, built);
}

TEST_F(SettingsFilter, ChangedIsolateVectorForcesARebuild)
{
    EXPECT_EQ(f.SetIsolateVector(15), 1);
    EXPECT_EQ(f.m_uIsolateVector, 15u);
    EXPECT_EQ(f.m_dwMatchCRC, 0xFFFFFFFFu);
    // The next full set-up builds again and stores the checksum.
    ASSERT_TRUE(f.SetupFilter(TwoVectors()));
    EXPECT_EQ(f.m_dwMatchCRC, built);
    EXPECT_EQ(f.SetIsolateVector(15), 1);
    EXPECT_EQ(f.m_dwMatchCRC, built);
}

TEST_F(SettingsFilter, IsolateTypeOutOfRangeChangesNothing)
{
    EXPECT_EQ(f.SetIsolateType(8), 0);
    EXPECT_EQ(f.SetIsolateType(100), 0);
    EXPECT_EQ(f.m_uIsolateType, 0u);
    EXPECT_EQ(f.m_dwMatchCRC, built);
}

TEST_F(SettingsFilter, SameIsolateTypeKeepsTheMatchBuild)
{
    EXPECT_EQ(f.SetIsolateType(0), 1);
    EXPECT_EQ(f.m_dwMatchCRC, built);
}

TEST_F(SettingsFilter, ChangedIsolateTypeForcesARebuild)
{
    EXPECT_EQ(f.SetIsolateType(7), 1);
    EXPECT_EQ(f.m_uIsolateType, 7u);
    EXPECT_EQ(f.m_dwMatchCRC, 0xFFFFFFFFu);
}

TEST_F(SettingsFilter, IsolateSettingsTakeEffectAtTheNextSetup)
{
    ASSERT_EQ(f.SetIsolateVector(1), 1);
    ASSERT_EQ(f.SetIsolateType(1), 1);
    EXPECT_FALSE(f.m_bIsolate);
    ASSERT_TRUE(f.SetupFilter(TwoVectors()));
    EXPECT_TRUE(f.m_bIsolate);
    // Type 1 leaves every chroma pair to the luma window alone.
    EXPECT_EQ(f.MatchEntry(60, 20), 0);

    ASSERT_EQ(f.SetIsolateType(0), 1);
    EXPECT_TRUE(f.m_bIsolate); // still the old build
    ASSERT_TRUE(f.SetupFilter(TwoVectors()));
    EXPECT_FALSE(f.m_bIsolate);
    EXPECT_NE(f.MatchEntry(60, 20), 0);
}

TEST_F(SettingsFilter, IsolateVectorBeyondTheRecordIsIgnored)
{
    ASSERT_EQ(f.SetIsolateVector(2), 1); // the record has vectors 0 and 1
    ASSERT_EQ(f.SetIsolateType(2), 1);
    ASSERT_TRUE(f.SetupFilter(TwoVectors()));
    EXPECT_FALSE(f.m_bIsolate);
}

// ---- isolate parameter and display field -----------------------------------------------

TEST(DisplaySettings, IsolateParamIsCopiedWhole)
{
    DisplayFilterAccess f;
    tagMATCHVECTOR before = f.m_IsolateParam;
    EXPECT_EQ(f.SetIsolateParam(nullptr), 0);
    EXPECT_EQ(std::memcmp(&before, &f.m_IsolateParam, sizeof before), 0);

    tagMATCHVECTOR p;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&p);
    for (size_t i = 0; i < sizeof p; ++i)
        bytes[i] = static_cast<unsigned char>(0x31 + 7 * i);
    EXPECT_EQ(f.SetIsolateParam(&p), 1);
    EXPECT_EQ(std::memcmp(&p, &f.m_IsolateParam, sizeof p), 0);
}

TEST(DisplaySettings, DisplayFieldIsBitValueTwo)
{
    DisplayFilterAccess f;
    const struct {
        unsigned in;
        unsigned field;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 0}, {6, 1}, {0xFFFFFFFFu, 1}, {0xFFFFFFFDu, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(f.SetDisplayField(c.in), 1);
        EXPECT_EQ(f.m_uDisplayField, c.field) << c.in;
    }
}
