#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "display_filter_access.h"
#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/timing_line.h"

using colorcorrect::test::DisplayFilterAccess;
using colorcorrect::test::FillPattern;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelAt;
using colorcorrect::test::PixelIs;
using colorcorrect::test::Record;
using colorcorrect::test::YuvPicture;

namespace {

// A copy of `in` whose every byte (the fourth included) is `fill`.
CVoraDib Blank(const CVoraDib& in, int fill)
{
    CVoraDib out = in;
    unsigned step = 0, line = 0;
    out.GetIncrements(step, line);
    BYTE* p = out;
    for (int row = 0; row < out.GetHeight(); ++row)
        for (unsigned i = 0; i < step * static_cast<unsigned>(out.GetWidth()); ++i)
            p[static_cast<size_t>(row) * line + i] = static_cast<BYTE>(fill);
    return out;
}

// Sets the fourth byte of every pixel of a 32-bit picture.
void SetAlpha(CVoraDib& dib, int alpha)
{
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    if (step != 4)
        return;
    BYTE* base = dib;
    for (int row = 0; row < dib.GetHeight(); ++row)
        for (int x = 0; x < dib.GetWidth(); ++x)
            base[static_cast<size_t>(row) * line + x * 4u + 3] = static_cast<BYTE>(alpha);
}

// A record with every stage and some correction in each.
tagCOLORCORRINFO BusyRecord()
{
    tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING);
    cc.Base.wRangeFlags = RANGE_LEGAL;
    cc.Base.bySoftY = 40;
    cc.Base.sYGamma = 30;
    cc.Base.sHue = 20;
    cc.Base.sSat = 50;
    cc.Base.sRWhite = -20;
    cc.Base.sBBlack = 15;
    cc.Vector6.sSat[1] = 80;
    cc.Vector6.sHue[3] = -30;
    cc.Match.dwCount = 3;
    cc.Match.Vector[0].sSat = -40;
    cc.Match.Vector[1].cU = 50;
    cc.Match.Vector[1].cV = -30;
    cc.Match.Vector[1].byHueWidth = 30;
    cc.Match.Vector[1].bySatWidth = 40;
    cc.Match.Vector[1].sHue = 40;
    cc.Match.Vector[1].sUOffset = 12;
    cc.Match.Vector[2].cU = -40;
    cc.Match.Vector[2].cV = 45;
    cc.Match.Vector[2].sSat = 90;
    return cc;
}

// Bytes 0..2 of every pixel of two pictures of one size are equal.
::testing::AssertionResult SameColourBytes(const CVoraDib& a, const CVoraDib& b)
{
    for (int row = 0; row < a.GetHeight(); ++row)
        for (int x = 0; x < a.GetWidth(); ++x) {
            const auto pa = PixelAt(a, x, row), pb = PixelAt(b, x, row);
            for (int c = 0; c < 3; ++c)
                if (pa[c] != pb[c])
                    return ::testing::AssertionFailure()
                           << "pixel " << x << ", row " << row << " byte " << c << ": "
                           << pa[c] << " vs " << pb[c];
        }
    return ::testing::AssertionSuccess();
}

} // namespace

// ---- refused pictures ----------------------------------------------------------------

TEST(PreviewPictures, RefusesAnRgbInput)
{
    DisplayFilterAccess f;
    CVoraDib in;
    ASSERT_TRUE(in.Alloc(4, 3, 24, 0));
    CVoraDib out = Blank(in, 0x5A);
    const CVoraDib untouched = out;
    EXPECT_EQ(f.ProcessPreview(in, out), 0);
    EXPECT_EQ(f.Process(in, out), 0);
    EXPECT_TRUE(PicturesEqual(untouched, out));
}

TEST(PreviewPictures, RefusesEmptyPictures)
{
    DisplayFilterAccess f;
    CVoraDib empty;
    CVoraDib in = YuvPicture(4, 3, 24, 100, 0, 0);
    EXPECT_EQ(f.ProcessPreview(in, empty), 0);
    EXPECT_EQ(f.ProcessPreview(empty, in), 0);
    EXPECT_EQ(f.Process(in, empty), 0);
    EXPECT_EQ(f.Process(empty, in), 0);
}

TEST(PreviewPictures, RefusesAnOutputOfAnotherFormat)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
    CVoraDib in = YuvPicture(4, 3, 24, 100, 0, 0);
    CVoraDib rgb;
    ASSERT_TRUE(rgb.Alloc(4, 3, 24, 0));
    CVoraDib bits32 = YuvPicture(4, 3, 32, 0, 0, 0);
    CVoraDib wider = YuvPicture(5, 3, 24, 0, 0, 0);
    CVoraDib shorter = YuvPicture(4, 2, 24, 0, 0, 0);
    for (CVoraDib* out : {&rgb, &bits32, &wider, &shorter}) {
        const CVoraDib untouched = *out;
        EXPECT_EQ(f.ProcessPreview(in, *out), 0);
        EXPECT_EQ(f.Process(in, *out), 0);
        EXPECT_TRUE(PicturesEqual(untouched, *out));
    }
}

TEST(PreviewPictures, ATallerOutputKeepsItsExtraRows)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
    CVoraDib in = YuvPicture(3, 2, 24, 90, 10, -10);
    for (int which = 0; which < 2; ++which) {
        CVoraDib out = YuvPicture(3, 4, 24, 7, 7, 7);
        EXPECT_EQ(which == 0 ? f.ProcessPreview(in, out) : f.Process(in, out), 1);
        for (int x = 0; x < 3; ++x) {
            EXPECT_TRUE(PixelIs(out, x, 0, {90, 138, 118}));
            EXPECT_TRUE(PixelIs(out, x, 1, {90, 138, 118}));
            EXPECT_TRUE(PixelIs(out, x, 2, {7, 135, 135}));
            EXPECT_TRUE(PixelIs(out, x, 3, {7, 135, 135}));
        }
    }
}

// ---- the correction itself --------------------------------------------------------------

TEST(Preview, WithEveryStageOffWritesThroughTheOutputTables)
{
    DisplayFilterAccess f;
    tagCOLORCORRINFO cc = Record(CC_CLIPPING); // no correction group: primary off
    cc.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_FALSE(f.m_bPrimary);
    ASSERT_FALSE(f.m_bVector);
    CVoraDib in = YuvPicture(16, 9, 24, 0, 0, 0);
    FillPattern(in, 3);
    CVoraDib out = Blank(in, 0);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    for (int row = 0; row < 9; ++row)
        for (int x = 0; x < 16; ++x) {
            const auto p = PixelAt(in, x, row);
            const int y = f.m_LumaClip[p[0] + 512];
            const int u = (f.m_ChromaClip[p[1] - 128 + 512] + 128) & 0xFF;
            const int v = (f.m_ChromaClip[p[2] - 128 + 512] + 128) & 0xFF;
            ASSERT_TRUE(PixelIs(out, x, row, {y, u, v}));
        }
    // Legal levels with reduced chroma, at the extremes.
    CVoraDib extremes = YuvPicture(1, 1, 24, 255, -128, 127);
    ASSERT_EQ(f.ProcessPreview(extremes, extremes), 1);
    EXPECT_TRUE(PixelIs(extremes, 0, 0, {235, 128 - 84, 128 + 84}));
}

TEST(Preview, WithIdentityTablesCopiesTheColourBytes)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(0)));
    CVoraDib in = YuvPicture(11, 5, 32, 0, 0, 0);
    FillPattern(in, 8);
    SetAlpha(in, 255);
    BYTE* p = in;
    p[1] = 0;
    CVoraDib out = Blank(in, 0);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    // Chroma byte 0 (-128) lies outside the output range and comes out as 1.
    CVoraDib expected = in;
    BYTE* e = expected;
    e[1] = 1;
    EXPECT_TRUE(SameColourBytes(expected, out));
}

TEST(Preview, WithoutDisplayAidsMatchesTheEngineOnOpaquePictures)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(BusyRecord()));
    ASSERT_TRUE(f.m_bSixVector);
    ASSERT_TRUE(f.m_bMatchVector);
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        CVoraDib in = YuvPicture(37, 23, bits, 0, 0, 0);
        FillPattern(in, 11);
        SetAlpha(in, 255);
        CVoraDib preview = Blank(in, 0);
        CVoraDib engine = Blank(in, 0);
        ASSERT_EQ(f.ProcessPreview(in, preview), 1);
        // The per-pixel reference loop, not the fast loop the preview of an
        // opaque 24-bit picture goes through itself.
        tagDIBINFO* header = in;
        ASSERT_EQ(f.ProcessReference(&header->bmiHeader, static_cast<BYTE*>(in),
                                     static_cast<BYTE*>(engine)),
                  1);
        EXPECT_TRUE(SameColourBytes(engine, preview));
    }
}

TEST(Preview, RowBandsGiveTheBytesOfOneThread)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(BusyRecord()));
    colorcorrect::BandProcessor bands(3);
    for (unsigned channel : {0u, 2u})
        for (int bits : {24, 32}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, channel " << channel);
            ASSERT_EQ(f.SetChannel(channel), 1);
            CVoraDib in = YuvPicture(41, 67, bits, 0, 0, 0);
            FillPattern(in, 5);
            CVoraDib one = Blank(in, 0);
            CVoraDib banded = Blank(in, 0);
            ASSERT_EQ(f.ProcessPreview(in, one), 1);
            ASSERT_EQ(f.ProcessPreview(in, banded, &bands), 1);
            EXPECT_TRUE(PicturesEqual(one, banded));
        }
}

TEST(Preview, InPlaceEqualsSeparateOutput)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(BusyRecord()));
    ASSERT_EQ(f.SetChannel(2), 1);
    CVoraDib in = YuvPicture(19, 7, 32, 0, 0, 0);
    FillPattern(in, 21);
    CVoraDib apart = in;
    ASSERT_EQ(f.ProcessPreview(in, apart), 1);
    ASSERT_EQ(f.ProcessPreview(in, in), 1);
    EXPECT_TRUE(PicturesEqual(apart, in));
}

TEST(Preview, SkipsAVectorStageWhoseIndexIsMissing)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(CC_MATCH_VECTOR | CC_SIX_VECTOR)));
    // As after a set-up that could not obtain its indexes.
    f.m_bSixVector = 1;
    f.m_bMatchVector = 1;
    colorcorrect::SetPageAllocationBudget(0);
    DisplayFilterAccess copy(f); // the copy goes without index buffers
    colorcorrect::SetPageAllocationBudget(-1);
    ASSERT_EQ(copy.m_pSixIndex, nullptr);
    ASSERT_EQ(copy.m_pMatchIndex, nullptr);
    CVoraDib in = YuvPicture(2, 2, 24, 70, -128, 127);
    CVoraDib out = Blank(in, 0);
    ASSERT_EQ(copy.ProcessPreview(in, out), 1);
    // Only the range clamp and the output tables applied.
    EXPECT_TRUE(PixelIs(out, 1, 1, {70, 1, 255}));
}

// ---- channel view ---------------------------------------------------------------------

TEST(PreviewChannel, ShowsOneChannelAsGrey)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(0)));
    CVoraDib in = YuvPicture(1, 1, 24, 100, 0, 50);
    // R = (51200 + 35950 + 256) >> 9, G = (51200 - 18250 + 256) >> 9,
    // B = (51200 - 50 + 256) >> 9.
    const int expected[5] = {-1, 170, 64, 100, 100};
    for (unsigned c = 1; c <= 4; ++c) {
        ASSERT_EQ(f.SetChannel(c), 1);
        CVoraDib out = Blank(in, 0);
        ASSERT_EQ(f.ProcessPreview(in, out), 1);
        EXPECT_TRUE(PixelIs(out, 0, 0, {expected[c], 128, 128})) << "channel " << c;
    }
}

TEST(PreviewChannel, ValuesBeyondTheByteRangeGoThroughTheOutputTables)
{
    DisplayFilterAccess f;
    tagCOLORCORRINFO cc = Record(CC_CLIPPING);
    cc.Base.wRangeFlags = RANGE_LEGAL;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_EQ(f.SetChannel(1), 1);
    // R = 390 and R = -130: clipped by the legal luma table, not at 0..255.
    CVoraDib in = YuvPicture(2, 1, 24, 250, 0, 100);
    BYTE* p = in;
    p[3] = 10;
    p[4] = 128;
    p[5] = 28;
    CVoraDib out = Blank(in, 0);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {235, 128, 128}));
    EXPECT_TRUE(PixelIs(out, 1, 0, {16, 128, 128}));
}

TEST(PreviewChannel, AnOutOfGamutPrimaryResultStaysWithinTheOutputTables)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
    // Channel curves at their extremes for the mid-grey input (128, 128,
    // 128): the primary stage leaves Y -301, U 458, V -138, whose blue is
    // 512, one beyond the output tables' last entry.
    f.m_RLUT[128 + 512] = -494;
    f.m_GLUT[128 + 512] = -360;
    f.m_BLUT[128 + 512] = 510;
    ASSERT_EQ(f.SetChannel(3), 1);
    CVoraDib in = YuvPicture(1, 1, 24, 128, 0, 0);
    CVoraDib out = Blank(in, 0);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {255, 128, 128}));
    ASSERT_EQ(f.SetChannel(1), 1);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {0, 128, 128}));
}

// ---- alpha ---------------------------------------------------------------------------

TEST(PreviewAlpha, ZeroGivesTheOutputTablesOfBlack)
{
    DisplayFilterAccess f;
    tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_CLIPPING);
    cc.Base.wRangeFlags = RANGE_LEGAL;
    ASSERT_TRUE(f.SetupFilter(cc));
    CVoraDib in = YuvPicture(3, 2, 32, 200, 40, -60, 0);
    CVoraDib out = Blank(in, 0x5A);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x)
            ASSERT_TRUE(PixelIs(out, x, row,
                                {f.m_LumaClip[512], f.m_ChromaClip[512] + 128,
                                 f.m_ChromaClip[512] + 128, 0x5A}));
    EXPECT_TRUE(PixelIs(out, 0, 0, {16, 128, 128, 0x5A}));
}

TEST(PreviewAlpha, OpaqueLeavesTheCorrectionAndTheFourthByte)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
    // R, G, B of (200, 20, -60) lie within 0..255: the identity keeps it.
    CVoraDib in = YuvPicture(2, 2, 32, 200, 20, -60, 255);
    CVoraDib out = Blank(in, 0x77);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 1, 1, {200, 148, 68, 0x77}));
}

TEST(PreviewAlpha, PartialAlphaScalesWithArithmeticShifts)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(0)));
    CVoraDib in = YuvPicture(1, 1, 32, 201, 51, -51, 128);
    CVoraDib out = Blank(in, 3);
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    // (128 * 201) >> 8 = 100, (128 * 51) >> 8 = 25, (128 * -51) >> 8 = -26.
    EXPECT_TRUE(PixelIs(out, 0, 0, {100, 153, 102, 3}));
    // Premultiplied pictures are not divided first.
    tagDIBINFO* hd = in;
    hd->bmiHeader.dwFlags = colorcorrect::YUVBM_PREMULTIPLIED;
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {100, 153, 102, 3}));
}

// ---- debug line -----------------------------------------------------------------------

TEST(PreviewDebugLine, ReportsTheFullProcessingTime)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
    CVoraDib in = YuvPicture(8, 8, 24, 10, 0, 0);
    CVoraDib rgb;
    ASSERT_TRUE(rgb.Alloc(8, 8, 24, 0));
    CVoraDib out = in;
    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    const int ok = f.ProcessPreview(in, out);
    const int refused = f.ProcessPreview(rgb, out); // no line
    const std::string text = testing::internal::GetCapturedStderr();
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(refused, 0);
    EXPECT_TRUE(colorcorrect::test::IsTimingLine(text, "\rFull processing time ", "ms\r\n"));
}

TEST(PreviewDebugLine, SilentWhenDebugIsOff)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
    CVoraDib in = YuvPicture(4, 4, 24, 10, 0, 0);
    unsetenv("COLORCORRECT_DEBUG");
    testing::internal::CaptureStderr();
    EXPECT_EQ(f.ProcessPreview(in, in), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
