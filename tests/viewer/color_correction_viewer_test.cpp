#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/record_bytes.h"
#include "viewer/viewer_access.h"
#include "viewer/viewer_pictures.h"

using colorcorrect::test::AreaCopied;
using colorcorrect::test::FilterOf;
using colorcorrect::test::Info;
using colorcorrect::test::PatternYuv;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::SameBytes;
using colorcorrect::test::UnchangedOutside;
using colorcorrect::test::UniformYuv;
using colorcorrect::test::ViewerAccess;
using colorcorrect::test::ViewerFilterAccess;

namespace {

tagCOLORCORRINFO Primary(int black)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sYBlack = static_cast<int16_t>(black);
    return cc;
}

// Where the viewer looks for its default picture.
std::wstring DefaultPicturePath()
{
    std::wstring path(4096, L'\0');
    path.resize(GetModuleFileNameW(g_hModule, path.data(), 4096));
    const wchar_t* name = FU_FindFilename(path.c_str());
    path.resize(name == nullptr ? 0 : static_cast<size_t>(name - path.c_str()));
    return path + L"RESOURCE/COLORNTSC.BMP";
}

// The default picture as the viewer prepares it, or an empty picture.
CVoraDib DefaultPicture()
{
    CVoraDib dib;
    if (dib.LoadFromFile(DefaultPicturePath().c_str(), 0, 0, 24, 0) != 0)
        dib.ToYUV();
    return dib;
}

// Makes the library look for its default picture in a folder that has none
// (that of the C library) while it lives.
class NoDefaultPicture {
public:
    NoDefaultPicture() : m_saved(g_hModule) { g_hModule = reinterpret_cast<HMODULE>(stderr); }
    ~NoDefaultPicture() { g_hModule = m_saved; }

private:
    HMODULE m_saved;
};

} // namespace

// ---- construction -----------------------------------------------------------

TEST(ViewerObject, StartsWithEmptyPicturesDefaultRecordsAndNoWorker)
{
    ViewerAccess viewer;
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSource), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSourceQuart), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibReference), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibReferenceQuart), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibReferenceInlay), nullptr);
    EXPECT_EQ(viewer.m_nStartX, 0x7FFFFFFF);
    EXPECT_EQ(viewer.m_nStartY, 0x7FFFFFFF);
    EXPECT_EQ(viewer.m_nAnglesStart[0], 0);
    EXPECT_EQ(viewer.m_nAnglesStart[1], 0);
    EXPECT_EQ(viewer.m_nAnglesStart[2], 0);
    EXPECT_EQ(viewer.m_nField, 0u);
    EXPECT_EQ(viewer.m_nInlayWidth, -1);
    EXPECT_EQ(viewer.m_nInlayHeight, -1);
    EXPECT_EQ(viewer.m_n6Vector, 0u);
    EXPECT_EQ(viewer.m_dwMatchMode, 0u);
    EXPECT_EQ(viewer.m_nSets, 0u);
    EXPECT_EQ(viewer.m_dwAdjustFlags, 0ul);
    EXPECT_EQ(viewer.m_pfnPreview, nullptr);
    EXPECT_EQ(viewer.m_dwPreviewData, 0ul);
    EXPECT_EQ(viewer.m_pThread, nullptr);
    EXPECT_TRUE(SameBytes(g_ccDefault, viewer.m_ccStart));
    EXPECT_TRUE(SameBytes(g_ccDefault, viewer.m_ccCurrent));
    for (const tagCOLORCORRINFO& set : viewer.m_ccSets)
        EXPECT_TRUE(SameBytes(g_ccDefault, set));
}

TEST(ViewerObject, CubeAnglesComeFromTheFiltersStartingTurn)
{
    ViewerAccess viewer;
    CColorCorrectionFilter filter;
    int angles[3] = {0, 0, 0};
    filter.SetNewAngles(angles[0], angles[1], angles[2], 0, 90);
    EXPECT_EQ(viewer.m_nAngles[0], angles[0]);
    EXPECT_EQ(viewer.m_nAngles[1], angles[1]);
    EXPECT_EQ(viewer.m_nAngles[2], angles[2]);
    const ViewerFilterAccess state = FilterOf(viewer);
    EXPECT_EQ(state.m_aAngles[0], angles[0]);
    EXPECT_EQ(state.m_aAngles[1], angles[1]);
    EXPECT_EQ(state.m_aAngles[2], angles[2]);
}

TEST(ViewerObject, OwnFilterIsSetUpWithTheDefaultRecord)
{
    ViewerAccess viewer;
    ViewerFilterAccess expected;
    ASSERT_EQ(expected.SetupFilter(g_ccDefault), 1);
    const ViewerFilterAccess state = FilterOf(viewer);
    EXPECT_EQ(std::memcmp(expected.m_YLUT, state.m_YLUT, sizeof state.m_YLUT), 0);
    EXPECT_EQ(std::memcmp(expected.m_LumaClip, state.m_LumaClip, sizeof state.m_LumaClip), 0);
    EXPECT_EQ(state.m_YLUT[200], 200) << "the neutral luma curve, not a blank table";
}

// ---- SetCorrection without a worker ---------------------------------------------

TEST(ViewerSetCorrection, RefusesWrongRecordSizes)
{
    ViewerAccess viewer;
    for (uint32_t size : {563u, 565u, 0u}) {
        tagCOLORCORRINFO cc = Primary(40);
        cc.dwSize = size;
        EXPECT_EQ(viewer.SetCorrection(cc), 0) << "size " << size;
        EXPECT_TRUE(SameBytes(g_ccDefault, viewer.m_ccCurrent));
    }
}

TEST(ViewerSetCorrection, RecordTheFilterRefusesChangesNothing)
{
    ViewerAccess viewer;
    ASSERT_EQ(viewer.SetCorrection(Primary(20)), 1);
    tagCOLORCORRINFO cc = Primary(40);
    cc.Base.dwSize = 35;
    EXPECT_EQ(viewer.SetCorrection(cc), 0);
    cc = Primary(40);
    cc.Match.dwCount = 17;
    EXPECT_EQ(viewer.SetCorrection(cc), 0);
    EXPECT_TRUE(SameBytes(Primary(20), viewer.m_ccCurrent));
}

TEST(ViewerSetCorrection, StoresTheRecordAndSetsUpTheFilter)
{
    ViewerAccess viewer;
    const tagCOLORCORRINFO cc = Primary(60);
    EXPECT_EQ(viewer.SetCorrection(cc), 1);
    EXPECT_TRUE(SameBytes(cc, viewer.m_ccCurrent));
    ViewerFilterAccess expected;
    ASSERT_EQ(expected.SetupFilter(cc), 1);
    EXPECT_EQ(std::memcmp(expected.m_YLUT, FilterOf(viewer).m_YLUT, 256), 0);
}

TEST(ViewerSetCorrection, HandsTheSelectedMatchVectorToTheFilter)
{
    ViewerAccess viewer;
    ASSERT_EQ(viewer.SetIsolateVector(2), 1);
    tagCOLORCORRINFO cc = Primary(0);
    cc.dwFlags |= CC_MATCH_VECTOR;
    cc.Match.dwCount = 3;
    cc.Match.Vector[2].cU = 40;
    cc.Match.Vector[2].cV = -25;
    cc.Match.Vector[2].byHueWidth = 30;
    EXPECT_EQ(viewer.SetCorrection(cc), 1);
    const ViewerFilterAccess state = FilterOf(viewer);
    EXPECT_EQ(std::memcmp(&state.m_IsolateParam, &cc.Match.Vector[2], 28), 0);

    // A selected vector beyond the record's count is not handed over.
    cc.Match.dwCount = 2;
    cc.Match.Vector[2].cU = 10;
    EXPECT_EQ(viewer.SetCorrection(cc), 1);
    EXPECT_EQ(+FilterOf(viewer).m_IsolateParam.cU, 40);
}

// ---- preview without a worker ---------------------------------------------------------

TEST(ViewerSetPreview, StoppingWithoutAWorkerChangesNothing)
{
    ViewerAccess viewer;
    EXPECT_EQ(viewer.SetPreview(nullptr, 0), 1);
    EXPECT_EQ(viewer.m_pThread, nullptr);
    EXPECT_EQ(viewer.m_pfnPreview, nullptr);
    EXPECT_EQ(viewer.SetPreview(nullptr, 77), 1);
    EXPECT_EQ(viewer.m_dwPreviewData, 0ul);
}

// ---- forwarding setters ------------------------------------------------------------------

TEST(ViewerSetters, ChannelIsForwardedAndOutOfRangeRefused)
{
    ViewerAccess viewer;
    EXPECT_EQ(viewer.SetChannel(3), 1);
    EXPECT_EQ(viewer.m_nChannel, 3u);
    EXPECT_EQ(FilterOf(viewer).m_uChannel, 3u);
    EXPECT_EQ(viewer.SetChannel(5), 0);
    EXPECT_EQ(viewer.m_nChannel, 3u);
    EXPECT_EQ(FilterOf(viewer).m_uChannel, 3u);
}

TEST(ViewerSetters, SixVectorIsTakenModuloSix)
{
    ViewerAccess viewer;
    EXPECT_EQ(viewer.Set6Vector(13), 1);
    EXPECT_EQ(viewer.m_n6Vector, 1u);
    EXPECT_EQ(viewer.Set6Vector(5), 1);
    EXPECT_EQ(viewer.m_n6Vector, 5u);
}

TEST(ViewerSetters, IsolateVectorAndTypeAreForwardedAndOutOfRangeRefused)
{
    ViewerAccess viewer;
    EXPECT_EQ(viewer.SetIsolateVector(7), 1);
    EXPECT_EQ(viewer.SetIsolateType(5), 1);
    EXPECT_EQ(viewer.SetIsolateVector(16), 0);
    EXPECT_EQ(viewer.SetIsolateType(8), 0);
    EXPECT_EQ(viewer.m_nIsolateVector, 7u);
    EXPECT_EQ(viewer.m_nIsolateType, 5u);
    const ViewerFilterAccess state = FilterOf(viewer);
    EXPECT_EQ(state.m_uIsolateVector, 7u);
    EXPECT_EQ(state.m_uIsolateType, 5u);
}

TEST(ViewerSetters, PackageAndIsolateColoursComeFromTheFilter)
{
    ViewerAccess viewer;
    tagCOLORCORRINFO cc = Primary(30);
    cc.Base.sSat = 50;
    cc.dwFlags |= CC_MATCH_VECTOR;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].byY = 90;
    cc.Match.Vector[1].cU = 20;
    ASSERT_EQ(viewer.SetIsolateVector(1), 1);
    ASSERT_EQ(viewer.SetCorrection(cc), 1);

    CColorCorrectionFilter filter;
    filter.SetIsolateVector(1);
    filter.SetupFilter(cc);
    tagBCC_RTLUTPACK expected{}, actual{};
    EXPECT_EQ(viewer.GetRTLUT(actual), filter.GetRTLUT(expected, cc.Base));
    EXPECT_EQ(std::memcmp(&expected, &actual, sizeof expected), 0);

    unsigned long a1 = 1, b1 = 1, a2 = 2, b2 = 2;
    EXPECT_EQ(viewer.GetIsolateColors(a1, b1), filter.GetIsolateColors(cc, a2, b2));
    EXPECT_EQ(a1, a2);
    EXPECT_EQ(b1, b2);
}

// ---- display options ------------------------------------------------------------------------

TEST(ViewerDisplayField, SameFieldOnlyForwardsToTheFilter)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(8, 8, 24, 3);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    const BYTE* quart = viewer.m_dibSourceQuart.GetMemory();
    EXPECT_EQ(viewer.SetDisplayField(1), 1);
    EXPECT_EQ(FilterOf(viewer).m_uDisplayField, 0u);
    EXPECT_EQ(viewer.m_nField, 0u);
    EXPECT_EQ(static_cast<const BYTE*>(viewer.m_dibSourceQuart.GetMemory()), quart)
        << "the reduced source was made again";

    EXPECT_EQ(viewer.SetDisplayField(3), 1);
    EXPECT_EQ(FilterOf(viewer).m_uDisplayField, 1u);
    EXPECT_EQ(viewer.m_nField, 1u);
    EXPECT_TRUE(PicturesEqual(yuv, viewer.m_dibSource));
}

TEST(ViewerInlaySize, ZeroSizesAreRefused)
{
    ViewerAccess viewer;
    EXPECT_EQ(viewer.SetInlaySize(0, 100), 0);
    EXPECT_EQ(viewer.SetInlaySize(100, 0), 0);
    EXPECT_EQ(viewer.m_nInlayWidth, -1);
    EXPECT_EQ(viewer.m_nInlayHeight, -1);
}

TEST(ViewerInlaySize, MinusOneWidthSelectsHalfSizeAgain)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(12, 8, 24, 3);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_EQ(viewer.SetInlaySize(5, 3), 1);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetWidth(), 5);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetHeight(), 3);
    EXPECT_EQ(viewer.SetInlaySize(0xFFFFFFFFu, 1), 1);
    EXPECT_EQ(viewer.m_nInlayWidth, -1);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetWidth(), 6);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetHeight(), 4);
}

TEST(ViewerInlaySize, NegativeSizesAreRefusedAndKeepThePictures)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(12, 8, 24, 3);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_EQ(viewer.SetInlaySize(5, 0xFFFFFFFFu), 0);
    EXPECT_EQ(viewer.SetInlaySize(0x80000000u, 5), 0);
    // Positive, but too large to be made: taking it would empty the source.
    EXPECT_EQ(viewer.SetInlaySize(65536, 65536), 0);
    EXPECT_EQ(viewer.m_nInlayWidth, -1);
    EXPECT_TRUE(PicturesEqual(yuv, viewer.m_dibSource));
    EXPECT_EQ(viewer.m_dibSourceQuart.GetWidth(), 6);
}

TEST(ViewerInlaySize, ReferenceIsPreparedAgainToo)
{
    ViewerAccess viewer;
    CVoraDib yuv = UniformYuv(40, 32, 24, {100, 78, 188});
    ASSERT_EQ(viewer.SetReference(yuv), 1);
    EXPECT_EQ(viewer.SetInlaySize(30, 20), 1);
    EXPECT_EQ(viewer.m_dibReferenceQuart.GetWidth(), 30);
    EXPECT_EQ(viewer.m_dibReferenceQuart.GetHeight(), 20);
    EXPECT_EQ(viewer.m_dibReferenceInlay.GetWidth(), 30);
    EXPECT_EQ(+Info(viewer.m_dibReferenceQuart).biCompression, 0u);
}

// ---- displays ----------------------------------------------------------------------------------

TEST(ViewerGetDisplay, SplitIsScaledToTheReducedPicture)
{
    CVoraDib source = PatternYuv(40, 20, 24, 4);
    CVoraDib reference = UniformYuv(40, 20, 24, {200, 100, 160});

    ViewerAccess plain;
    ASSERT_EQ(plain.SetSource(source), 1);
    CVoraDib expected, expectedScope;
    ASSERT_EQ(plain.GetDisplay(expected, expectedScope, 1), 1);

    ViewerAccess viewer;
    ASSERT_EQ(viewer.SetSource(source), 1);
    ASSERT_EQ(viewer.SetReference(reference), 1);
    ASSERT_EQ(viewer.SetSplit(10, -6), 1);
    CVoraDib display, scope;
    EXPECT_EQ(viewer.GetDisplay(display, scope, 1), 1);
    ASSERT_EQ(display.GetWidth(), 20);
    ASSERT_EQ(display.GetHeight(), 10);
    EXPECT_EQ(+Info(display).biCompression, 0u);
    // (10, -6) in source pixels is (5, -3) in the reduced picture: the left
    // edge, the bottom rows; the inlay's corner there is its orange border.
    EXPECT_TRUE(AreaCopied(viewer.m_dibReferenceInlay, 0, 0, display, 0, 0, 5, 3));
    EXPECT_TRUE(colorcorrect::test::PixelIs(display, 4, 2, {0, 128, 255}));
    EXPECT_TRUE(UnchangedOutside(expected, display, 0, 0, 5, 3));
    EXPECT_TRUE(PicturesEqual(expectedScope, scope));
}

TEST(ViewerGetDisplay, TypeZeroHandsOutTheReducedReference)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(40, 20, 24, 4);
    ASSERT_EQ(viewer.SetSource(source), 1);
    CVoraDib reference = PatternYuv(40, 20, 24, 5);
    ASSERT_EQ(viewer.SetReference(reference), 1);
    CVoraDib display, second;
    EXPECT_EQ(viewer.GetDisplay(display, second, 0), 1);
    EXPECT_TRUE(PicturesEqual(viewer.m_dibReferenceQuart, second));
}

TEST(ViewerGetDisplay, RefusedTypeFails)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(8, 8, 24, 4);
    ASSERT_EQ(viewer.SetSource(source), 1);
    CVoraDib display, scope;
    EXPECT_EQ(viewer.GetDisplay(display, scope, 3), 0);
    EXPECT_EQ(viewer.GetDisplay(display, scope, 8), 0);
}

// ---- the default picture ------------------------------------------------------------------------

TEST(ViewerDefaultPicture, IsInstalledBesideTheLibrary)
{
    const CVoraDib picture = DefaultPicture();
    ASSERT_NE(static_cast<const tagDIBINFO*>(picture), nullptr)
        << "no default picture at the place the viewer looks";
    EXPECT_GE(picture.GetWidth(), 2);
    EXPECT_GE(picture.GetHeight(), 2);
}

TEST(ViewerDefaultPicture, ImageSizeOfANewViewerLoadsIt)
{
    const CVoraDib picture = DefaultPicture();
    ASSERT_NE(static_cast<const tagDIBINFO*>(picture), nullptr);
    ViewerAccess viewer;
    int width = 0, height = 0;
    EXPECT_EQ(viewer.GetImageSize(width, height), 1);
    EXPECT_EQ(width, picture.GetWidth());
    EXPECT_EQ(height, picture.GetHeight());
    EXPECT_TRUE(PicturesEqual(picture, viewer.m_dibSource));
    EXPECT_NE(static_cast<const tagDIBINFO*>(viewer.m_dibSourceQuart), nullptr);
}

TEST(ViewerDefaultPicture, MissingSourceAfterAFailedSetSourceIsLoaded)
{
    ASSERT_NE(static_cast<const tagDIBINFO*>(DefaultPicture()), nullptr);
    ViewerAccess viewer;
    CVoraDib empty;
    EXPECT_EQ(viewer.SetSource(empty), 0);
    int width = 0, height = 0;
    EXPECT_EQ(viewer.GetImageSize(width, height), 1);
    EXPECT_EQ(width, DefaultPicture().GetWidth());
}

TEST(ViewerDefaultPicture, DisplayWithoutSourceLoadsIt)
{
    ASSERT_NE(static_cast<const tagDIBINFO*>(DefaultPicture()), nullptr);
    ViewerAccess viewer;
    CVoraDib display, scope;
    EXPECT_EQ(viewer.GetDisplay(display, scope, 1), 1);
    EXPECT_TRUE(PicturesEqual(DefaultPicture(), viewer.m_dibSource));
    EXPECT_EQ(display.GetWidth(), viewer.m_dibSourceQuart.GetWidth());
}

TEST(ViewerDefaultPicture, TypeZeroWithoutReferenceSplitsNothingAndLoadsItForLater)
{
    ASSERT_NE(static_cast<const tagDIBINFO*>(DefaultPicture()), nullptr);
    CVoraDib source = PatternYuv(40, 20, 24, 4);
    ViewerAccess plain;
    ASSERT_EQ(plain.SetSource(source), 1);
    CVoraDib expected, ignored;
    ASSERT_EQ(plain.GetDisplay(expected, ignored, 1), 1);

    ViewerAccess viewer;
    ASSERT_EQ(viewer.SetSource(source), 1);
    ASSERT_EQ(viewer.SetSplit(20, 20), 1);
    CVoraDib display, second;
    EXPECT_EQ(viewer.GetDisplay(display, second, 0), 1);
    EXPECT_TRUE(PicturesEqual(expected, display)) << "nothing split in";
    EXPECT_NE(static_cast<const tagDIBINFO*>(viewer.m_dibReferenceInlay), nullptr);
    EXPECT_TRUE(PicturesEqual(DefaultPicture(), viewer.m_dibReference));
    EXPECT_TRUE(PicturesEqual(viewer.m_dibReferenceQuart, second));
}

TEST(ViewerDefaultPicture, MissingFileFailsImageSizeWithOnes)
{
    NoDefaultPicture missing;
    ViewerAccess viewer;
    int width = 0, height = 0;
    EXPECT_EQ(viewer.GetImageSize(width, height), 0);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 1);
    CVoraDib display, scope;
    EXPECT_EQ(viewer.GetDisplay(display, scope, 1), 0);
    EXPECT_EQ(viewer.GetDefaultBMP(1), 0);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibReference), nullptr);
}

TEST(ViewerDefaultPicture, ImageSizeOfAGivenSource)
{
    NoDefaultPicture missing;
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(30, 14, 24, 4);
    ASSERT_EQ(viewer.SetSource(source), 1);
    int width = 0, height = 0;
    EXPECT_EQ(viewer.GetImageSize(width, height), 1);
    EXPECT_EQ(width, 30);
    EXPECT_EQ(height, 14);
}
