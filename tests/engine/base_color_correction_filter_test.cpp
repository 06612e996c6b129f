#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "filter_access.h"
#include "support/timing_line.h"
#include "support/yuv_picture.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FilterAccess;
using colorcorrect::test::MakeYuvPicture;
using colorcorrect::test::MatchVector;
using colorcorrect::test::SameBytes;
using colorcorrect::test::YuvPicture;

namespace {

// The object's bytes, to see whether a call changed anything at all.
std::vector<unsigned char> Snapshot(const FilterAccess& f)
{
    std::vector<unsigned char> bytes(sizeof f);
    std::memcpy(bytes.data(), static_cast<const void*>(&f), sizeof f);
    return bytes;
}

// A record with every stage and a few vectors, for copying tests.
tagCOLORCORRINFO FullRecord()
{
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING);
    cc.Base.sYGamma = 40;
    cc.Base.sSat = 30;
    cc.Base.sRBlack = -12;
    cc.Base.wRangeFlags = RANGE_LEGAL;
    cc.Base.bySoftY = 90;
    cc.Vector6.sHue[1] = 40;
    cc.Vector6.sSat[4] = -100;
    cc.Match.dwCount = 3;
    cc.Match.Vector[0].sSat = -40;
    cc.Match.Vector[1] = MatchVector(-40, 60, 30, 30, 80, 80);
    cc.Match.Vector[1].sHue = 60;
    cc.Match.Vector[1].sUOffset = 20;
    cc.Match.Vector[2] = MatchVector(50, -50, 25, 35, 40, 90);
    cc.Match.Vector[2].sGamma = -70;
    return cc;
}

// A picture holding every (U, V) pair at a few lumas.
YuvPicture ChromaSweep(int bits)
{
    YuvPicture p = MakeYuvPicture(256, 192, bits);
    for (int row = 0; row < p.Rows(); ++row)
        for (int x = 0; x < 256; ++x) {
            BYTE* px = p.Pixel(x, row);
            px[0] = static_cast<BYTE>(16 + (row % 3) * 90);
            px[1] = static_cast<BYTE>(x);
            px[2] = static_cast<BYTE>((row * 256 / 192 + x * 7) & 0xFF);
            if (bits == 32)
                px[3] = 255;
        }
    return p;
}

YuvPicture Corrected(CBaseColorCorrectionFilter& f, const YuvPicture& in)
{
    YuvPicture out = in;
    std::fill(out.pixels.begin(), out.pixels.end(), BYTE{0});
    EXPECT_TRUE(f.Process(const_cast<tagYUVBMINFOHEADER*>(&in.header),
                          const_cast<BYTE*>(in.pixels.data()), out.pixels.data()));
    return out;
}

class DebugLines : public ::testing::Test {
protected:
    void SetUp() override { setenv("COLORCORRECT_DEBUG", "1", 1); }
    void TearDown() override { unsetenv("COLORCORRECT_DEBUG"); }
};

} // namespace

// ---- construction ------------------------------------------------------------

TEST(FilterConstruction, StartsWithPrimaryOnAndEverythingElseClear)
{
    FilterAccess f;
    EXPECT_EQ(f.m_bPrimary, 1);
    EXPECT_EQ(f.m_bVector, 0);
    EXPECT_EQ(f.m_bSixVector, 0);
    EXPECT_EQ(f.m_bMatchVector, 0);
    EXPECT_EQ(f.m_bLegalY, 0);
    EXPECT_EQ(f.m_bChromaReduced, 0);
    EXPECT_EQ(f.m_pSixIndex, nullptr);
    EXPECT_EQ(f.m_pMatchIndex, nullptr);
    EXPECT_EQ(f.m_dwMatchCRC, 0xFFFFFFFFu);
    EXPECT_EQ(f.m_uIsolateVector, 0u);
    EXPECT_EQ(f.m_uIsolateType, 0u);
    EXPECT_EQ(f.m_bIsolate, 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(f.m_YLUT[i], 0);
        ASSERT_EQ(f.m_SatLUT[i], 0);
        ASSERT_EQ(f.m_MatchYLUT[15][i], 0);
        ASSERT_EQ(f.m_SixSatLUT[5][i], 0);
    }
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(f.m_RLUT[i], 0);
        ASSERT_EQ(f.m_LumaClip[i], 0);
        ASSERT_EQ(f.m_ChromaClip[i], 0);
    }
}

TEST(FilterConstruction, ProcessBeforeSetupGivesDefinedOutput)
{
    // All tables zero: every pixel becomes black without colour.
    CBaseColorCorrectionFilter f;
    YuvPicture in = MakeYuvPicture(5, 3, 32, 0, 200);
    const YuvPicture out = Corrected(f, in);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 5; ++x) {
            const BYTE* p = out.Pixel(x, row);
            EXPECT_EQ(p[0], 0);
            EXPECT_EQ(p[1], 128);
            EXPECT_EQ(p[2], 128);
            EXPECT_EQ(p[3], 200);
        }
}

// ---- SetupFilter: record checks ------------------------------------------------

TEST(SetupFilter, WrongSizesAreRefusedWithNothingChanged)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(FullRecord()));
    const std::vector<unsigned char> before = Snapshot(f);

    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sYGamma = 100;
    cc.Vector6.dwSize = 60;
    EXPECT_FALSE(f.SetupFilter(cc));
    EXPECT_EQ(Snapshot(f), before);

    cc.Vector6.dwSize = 64;
    cc.dwSize = 563;
    EXPECT_FALSE(f.SetupFilter(cc));
    cc.dwSize = 564;
    cc.Base.dwSize = 35;
    EXPECT_FALSE(f.SetupFilter(cc));
    cc.Base.dwSize = 36;
    cc.Match.dwCount = 17;
    EXPECT_FALSE(f.SetupFilter(cc));
    EXPECT_EQ(Snapshot(f), before);

    tagBASECOLORCORRINFO b = cc.Base;
    b.dwSize = 564;
    EXPECT_FALSE(f.SetupFilter(b));
    EXPECT_EQ(Snapshot(f), before);
}

TEST(SetupFilter, MatchRecordSizeIsNotChecked)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Match.dwSize = 1;
    EXPECT_TRUE(f.SetupFilter(cc));
}

TEST(SetupFilter, RangeFlagsFromTheLowByte)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(0);
    const struct {
        WORD flags;
        BOOL legal, reduced;
    } cases[] = {{0, 0, 0},     {RANGE_VIDEO_LUMA, 1, 0}, {RANGE_LEGAL, 1, 0},
                 {RANGE_CHROMA_REDUCED, 0, 1}, {7, 1, 1},  {0x0100, 0, 0}, {0xFF00, 0, 0}};
    for (const auto& c : cases) {
        cc.Base.wRangeFlags = c.flags;
        ASSERT_TRUE(f.SetupFilter(cc));
        EXPECT_EQ(f.m_bLegalY, c.legal) << std::hex << c.flags;
        EXPECT_EQ(f.m_bChromaReduced, c.reduced) << std::hex << c.flags;
    }
}

TEST(SetupFilter, VideoRangeLumaCurve)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_YLUT[0], 16);
    EXPECT_EQ(f.m_YLUT[16], 16);
    EXPECT_EQ(f.m_YLUT[100], 100);
    EXPECT_EQ(f.m_YLUT[255], 235);
    cc.Base.wRangeFlags = RANGE_LEGAL; // legal output, full-range curves
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_YLUT[0], 0);
    EXPECT_EQ(f.m_YLUT[255], 255);
}

TEST(SetupFilter, StageFlagsFollowTheRecord)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(0);
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_bPrimary, 0);
    EXPECT_EQ(f.m_bVector, 0);
    EXPECT_EQ(f.m_bSixVector, 0);
    EXPECT_EQ(f.m_bMatchVector, 0);

    cc.dwFlags = CC_MATCH_VECTOR; // requested, but no vector in use
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_bVector, 1);
    EXPECT_EQ(f.m_bMatchVector, 0);
    EXPECT_EQ(f.m_pMatchIndex, nullptr);

    cc.Match.dwCount = 1;
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_bPrimary, 1);
    EXPECT_EQ(f.m_bVector, 1);
    EXPECT_EQ(f.m_bSixVector, 1);
    EXPECT_EQ(f.m_bMatchVector, 1);
    EXPECT_NE(f.m_pSixIndex, nullptr);
    EXPECT_NE(f.m_pMatchIndex, nullptr);
}

TEST(SetupFilter, BaseRecordTurnsTheVectorStagesOff)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(FullRecord()));
    ASSERT_TRUE(f.m_bSixVector && f.m_bMatchVector && f.m_bVector);
    tagBASECOLORCORRINFO b = FullRecord().Base;
    ASSERT_TRUE(f.SetupFilter(b));
    EXPECT_EQ(f.m_bPrimary, 1);
    EXPECT_EQ(f.m_bVector, 0);
    EXPECT_EQ(f.m_bSixVector, 0);
    EXPECT_EQ(f.m_bMatchVector, 0);
}

TEST(SetupFilter, BaseRecordAlwaysAppliesItsClipping)
{
    FilterAccess f;
    tagBASECOLORCORRINFO b = DefaultRecord().Base;
    b.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    ASSERT_TRUE(f.SetupFilter(b));
    EXPECT_EQ(f.m_LumaClip[512], 16);
    EXPECT_EQ(f.m_LumaClip[255 + 512], 235);
    EXPECT_EQ(f.m_ChromaClip[127 + 512], 84);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(f.m_YLUT[i], i); // curves stay full range with RANGE_LEGAL
}

TEST(SetupFilter, NeutralTablesAreIdentities)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(f.m_YLUT[i], i);
    for (int x = -510; x <= 510; ++x) {
        ASSERT_EQ(f.m_RLUT[x + 512], x);
        ASSERT_EQ(f.m_GLUT[x + 512], x);
        ASSERT_EQ(f.m_BLUT[x + 512], x);
    }
    for (int x = -512; x <= 511; ++x)
        ASSERT_EQ(f.m_LumaClip[x + 512], x < 0 ? 0 : (x > 255 ? 255 : x));
}

TEST(SetupFilter, EachCurveUsesItsOwnControls)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sRBlack = 20;
    cc.Base.sGWhite = -100;
    cc.Base.sBGamma = 60;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_RLUT[512], 20);
    EXPECT_EQ(f.m_RLUT[512 + 1], 21);
    EXPECT_EQ(f.m_RLUT[512 - 2], -22);
    EXPECT_EQ(f.m_GLUT[512], 0);
    EXPECT_LT(f.m_GLUT[512 + 254], 254);
    EXPECT_GT(f.m_BLUT[512 + 64], 64);
    EXPECT_EQ(f.m_BLUT[512], 0);
}

TEST(SetupFilter, MatchTablesPerVector)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[0].byYRange = 3; // unused for the background
    cc.Match.Vector[0].sUOffset = -400;
    cc.Match.Vector[0].sVOffset = 17;
    cc.Match.Vector[1] = MatchVector(30, 30, 20, 20, 0, 0);
    cc.Match.Vector[1].byY = 60;
    cc.Match.Vector[1].byYRange = 10;
    cc.Match.Vector[1].byYSoft = 0;
    cc.Match.Vector[1].sUOffset = 300;
    cc.Match.Vector[1].sSat = -255;
    ASSERT_TRUE(f.SetupFilter(cc));
    for (int y = 1; y < 256; ++y)
        ASSERT_EQ(f.m_MatchYLUT[0][y], y);
    EXPECT_EQ(f.m_MatchUOffset[0], -255);
    EXPECT_EQ(f.m_MatchVOffset[0], 17);
    EXPECT_EQ(f.m_MatchUOffset[1], 255);
    EXPECT_EQ(f.m_MatchYLUT[1][49], 0);
    EXPECT_EQ(f.m_MatchYLUT[1][50], 50);
    EXPECT_EQ(f.m_MatchYLUT[1][70], 70);
    EXPECT_EQ(f.m_MatchYLUT[1][71], 0);
    for (int n = 0; n < 256; ++n)
        ASSERT_EQ(f.m_MatchSatLUT[1][n], 0);
    EXPECT_EQ(f.m_MatchSatLUT[0][100], 100); // unclamped form
}

// ---- SetupFilter: when the match index is rebuilt ----------------------------

TEST(MatchRebuild, NotRebuiltWhenOnlyBaseOrVector6Change)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = FullRecord();
    ASSERT_TRUE(f.SetupFilter(cc));
    uint16_t* index = f.m_pMatchIndex;
    const DWORD crc = f.m_dwMatchCRC;
    index[0] = 0x1234; // a rebuild would overwrite this
    f.m_MatchYLUT[2][0] = 0x4321;

    cc.Base.sYGamma = -90;
    cc.Base.sHue = 30;
    cc.Vector6.sSat[2] = 77;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_pMatchIndex, index);
    EXPECT_EQ(index[0], 0x1234);
    EXPECT_EQ(f.m_MatchYLUT[2][0], 0x4321);
    EXPECT_EQ(f.m_dwMatchCRC, crc);
    EXPECT_EQ(crc, GetCRC1615(&cc.Match, sizeof cc.Match));
}

TEST(MatchRebuild, RebuiltWhenTheMatchRecordChanges)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = FullRecord();
    ASSERT_TRUE(f.SetupFilter(cc));
    f.m_pMatchIndex[0] = 0x1234;
    cc.Match.Vector[9].byFlags = 1; // an unused slot still counts
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_pMatchIndex[0], 0);
}

TEST(MatchRebuild, RebuiltAfterAnIsolateChange)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = FullRecord();
    ASSERT_TRUE(f.SetupFilter(cc));
    f.m_pMatchIndex[0] = 0x1234;
    f.SetIsolate(0, 0); // same values: no change
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_pMatchIndex[0], 0x1234);

    EXPECT_EQ(f.MatchEntry(-40, 60), 1 | 0xD0); // vector 1's centre

    f.SetIsolate(1, 4); // ring of vector 1
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(f.m_bIsolate);
    EXPECT_EQ(f.m_pMatchIndex[0], 0);
    EXPECT_EQ(f.MatchEntry(-40, 60), 1 | 0x80);
}

TEST(MatchRebuild, RebuiltAfterAVideoRangeChange)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = FullRecord();
    cc.Base.wRangeFlags = 0;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_MatchYLUT[0][0] & 0xFF, 1);
    f.m_pMatchIndex[0] = 0x1234;
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_pMatchIndex[0], 0);
    EXPECT_EQ(f.m_MatchYLUT[0][0] & 0xFF, 16);
    EXPECT_EQ(f.m_MatchYLUT[0][255] & 0xFF, 235);
}

// ---- SetupFilter: refused page allocations -----------------------------------

TEST(SetupFailure, RefusedSixIndexFailsAndProcessStaysSafe)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = FullRecord();
    colorcorrect::SetPageAllocationBudget(0);
    EXPECT_FALSE(f.SetupFilter(cc));
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(f.m_pSixIndex, nullptr);
    EXPECT_EQ(f.m_bSixVector, 1); // the stage is named, its index is missing
    YuvPicture in = ChromaSweep(24);
    Corrected(f, in); // must not touch the missing index

    ASSERT_TRUE(f.SetupFilter(cc));
    FilterAccess fresh;
    ASSERT_TRUE(fresh.SetupFilter(cc));
    EXPECT_TRUE(SameBytes(Corrected(fresh, in), Corrected(f, in)));
}

TEST(SetupFailure, RefusedMatchIndexFailsAndProcessStaysSafe)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = FullRecord();
    colorcorrect::SetPageAllocationBudget(1); // the six index only
    EXPECT_FALSE(f.SetupFilter(cc));
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_NE(f.m_pSixIndex, nullptr);
    EXPECT_EQ(f.m_pMatchIndex, nullptr);
    EXPECT_EQ(f.m_bMatchVector, 1);
    YuvPicture in = ChromaSweep(32);
    Corrected(f, in);

    ASSERT_TRUE(f.SetupFilter(cc));
    FilterAccess fresh;
    ASSERT_TRUE(fresh.SetupFilter(cc));
    EXPECT_TRUE(SameBytes(Corrected(fresh, in), Corrected(f, in)));
}

// ---- copying -----------------------------------------------------------------

TEST(FilterCopy, CopyOwnsItsBuffersAndOutlivesTheOriginal)
{
    const YuvPicture in = ChromaSweep(24);
    auto original = std::make_unique<FilterAccess>();
    ASSERT_TRUE(original->SetupFilter(FullRecord()));
    const YuvPicture expected = Corrected(*original, in);

    FilterAccess copy(*original);
    EXPECT_NE(copy.m_pSixIndex, original->m_pSixIndex);
    EXPECT_NE(copy.m_pMatchIndex, original->m_pMatchIndex);
    EXPECT_EQ(0, std::memcmp(copy.m_pMatchIndex, original->m_pMatchIndex,
                             colorcorrect::kSegmentIndexBytes));
    FilterAccess assigned;
    assigned = *original;
    EXPECT_NE(assigned.m_pMatchIndex, original->m_pMatchIndex);
    original.reset();

    EXPECT_TRUE(SameBytes(expected, Corrected(copy, in)));
    EXPECT_TRUE(SameBytes(expected, Corrected(assigned, in)));
}

TEST(FilterCopy, AssignmentMirrorsMissingBuffers)
{
    FilterAccess withIndexes;
    ASSERT_TRUE(withIndexes.SetupFilter(FullRecord()));
    FilterAccess plain;
    ASSERT_TRUE(plain.SetupFilter(DefaultRecord(CC_PRIMARY)));
    withIndexes = plain;
    EXPECT_EQ(withIndexes.m_pSixIndex, nullptr);
    EXPECT_EQ(withIndexes.m_pMatchIndex, nullptr);
    EXPECT_EQ(withIndexes.m_bSixVector, 0);

    // Assigning onto existing buffers reuses them.
    FilterAccess a, b;
    ASSERT_TRUE(a.SetupFilter(FullRecord()));
    ASSERT_TRUE(b.SetupFilter(FullRecord()));
    uint16_t* own = b.m_pMatchIndex;
    b = a;
    EXPECT_EQ(b.m_pMatchIndex, own);

    a = a; // self-assignment keeps everything
    EXPECT_NE(a.m_pMatchIndex, nullptr);
}

TEST(FilterCopy, CopyWithoutBuffersRebuildsAtTheNextSetup)
{
    const YuvPicture in = ChromaSweep(32);
    FilterAccess original;
    const tagCOLORCORRINFO cc = FullRecord();
    ASSERT_TRUE(original.SetupFilter(cc));
    const YuvPicture expected = Corrected(original, in);

    colorcorrect::SetPageAllocationBudget(0);
    FilterAccess copy(original);
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(copy.m_pSixIndex, nullptr);
    EXPECT_EQ(copy.m_pMatchIndex, nullptr);
    EXPECT_EQ(copy.m_dwMatchCRC, 0xFFFFFFFFu);
    Corrected(copy, in); // stages without an index are skipped

    ASSERT_TRUE(copy.SetupFilter(cc));
    EXPECT_TRUE(SameBytes(expected, Corrected(copy, in)));
}

// ---- IsDefault ---------------------------------------------------------------

TEST(IsDefaultBase, ZeroControlsAreDefault)
{
    tagBASECOLORCORRINFO b = DefaultRecord().Base;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(b), 1);
    b.bySoftC = 1;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(b), 0);
    b.bySoftC = 0;
    b.sBBlack = -1;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(b), 0);
}

TEST(IsDefaultBase, ComparesOnlyUpToTheSizeField)
{
    tagBASECOLORCORRINFO b = DefaultRecord().Base;
    b.sYWhite = 9; // offset 8
    b.dwSize = 8;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(b), 1);
    b.dwSize = 9;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(b), 0);
    b.dwSize = 4;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(b), 1);
}

TEST(IsDefaultBase, MalformedSizesNeverReadOutsideTheRecord)
{
    // An exact-size heap copy: the address sanitizer reports any read past it.
    auto b = std::make_unique<tagBASECOLORCORRINFO>(DefaultRecord().Base);
    b->dwSize = 0xFFFFFFFFu;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(*b), 1);
    b->sBBlack = 1; // the last field
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(*b), 0);
    b->dwSize = 3;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(*b), 0);
    b->dwSize = 0;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(*b), 0);
}

TEST(IsDefaultFull, OnlyTheFlagsCount)
{
    tagCOLORCORRINFO cc = DefaultRecord(0);
    cc.Base.sSat = 100;
    cc.Match.dwCount = 5;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(cc), 1);
    cc = DefaultRecord(CC_CLIPPING);
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(cc), 0);
}

// ---- debug line --------------------------------------------------------------

TEST_F(DebugLines, SetupFilterReportsItsTime)
{
    CBaseColorCorrectionFilter f;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(f.SetupFilter(FullRecord()));
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(colorcorrect::test::IsTimingLine(
        text, "\rCBaseColorCorrectionFilter::SetupFilter: ", "ms\r\n"));
}

TEST_F(DebugLines, NoLineForRefusedRecordsOrTheBaseForm)
{
    CBaseColorCorrectionFilter f;
    tagCOLORCORRINFO bad = FullRecord();
    bad.dwSize = 0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(f.SetupFilter(bad));
    EXPECT_TRUE(f.SetupFilter(FullRecord().Base));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(DebugLinesOff, SilentWithoutTheVariable)
{
    unsetenv("COLORCORRECT_DEBUG");
    CBaseColorCorrectionFilter f;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(f.SetupFilter(FullRecord()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
