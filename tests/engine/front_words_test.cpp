// Words kept in front of the vector stages: a correction that reuses them
// gives the bytes of one from scratch, and they are reused exactly while the
// picture's geometry and the stages in front of the vector ones stay the same.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <random>

#include "filter_access.h"

using namespace colorcorrect::test;

namespace {

// `in` corrected through `front`, its rows in two calls as two bands would
// take them; an empty picture when PrepareFront declines.
YuvPicture WithFront(const CBaseColorCorrectionFilter& f, YuvPicture in, colorcorrect::FrontWords& front)
{
    YuvPicture out = in;
    if (!f.PrepareFront(&in.header, in.pixels.data(), front))
        return {};
    const size_t half = static_cast<size_t>(in.Rows()) / 2;
    f.ProcessRowsWithFront(&in.header, in.pixels.data(), out.pixels.data(), 0, half, front);
    f.ProcessRowsWithFront(&in.header, in.pixels.data(), out.pixels.data(), half, 1000, front);
    CBaseColorCorrectionFilter::FinishFront(front);
    return out;
}

YuvPicture Corrected(CBaseColorCorrectionFilter& f, YuvPicture in)
{
    YuvPicture out = in;
    f.Process(&in.header, in.pixels.data(), out.pixels.data());
    return out;
}

// `p` with new random colour bytes and its alpha bytes kept.
YuvPicture NewColours(YuvPicture p, std::mt19937& rng)
{
    for (int row = 0; row < p.Rows(); ++row)
        for (int x = 0; x < p.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                p.Pixel(x, row)[c] = static_cast<BYTE>(rng());
    return p;
}

constexpr DWORD kEvery = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING;

} // namespace

TEST(FrontWords, ReusedOnlyWhileTheStagesInFrontStayTheSame)
{
    // A picture is corrected three times, which keeps its words; then its colours
    // change without Clear() and it is corrected under a changed record. A
    // correction that reuses the words gives the old colours' bytes under
    // the new record, one that works them out the new colours' bytes.
    const struct {
        const char* change;
        void (*apply)(tagCOLORCORRINFO&);
        bool reused;
    } cases[] = {
        {"a match vector", [](tagCOLORCORRINFO& cc) { cc.Match.Vector[1].sHue += 40; }, true},
        {"a six vector", [](tagCOLORCORRINFO& cc) { cc.Vector6.sSat[2] -= 60; }, true},
        {"output clipping", [](tagCOLORCORRINFO& cc) { cc.dwFlags &= ~static_cast<DWORD>(CC_CLIPPING); }, true},
        {"luma curve", [](tagCOLORCORRINFO& cc) { cc.Base.sYGamma += 20; }, false},
        {"video range", [](tagCOLORCORRINFO& cc) { cc.Base.wRangeFlags |= RANGE_VIDEO_LUMA; }, false},
        {"hue", [](tagCOLORCORRINFO& cc) { cc.Base.sHue = 30; }, false},
        {"saturation", [](tagCOLORCORRINFO& cc) { cc.Base.sSat = -40; }, false},
        {"red curve", [](tagCOLORCORRINFO& cc) { cc.Base.sRGamma += 30; }, false},
        {"green curve", [](tagCOLORCORRINFO& cc) { cc.Base.sGWhite -= 30; }, false},
        {"blue curve", [](tagCOLORCORRINFO& cc) { cc.Base.sBBlack += 30; }, false},
        {"primary stage off", [](tagCOLORCORRINFO& cc) { cc.dwFlags &= ~static_cast<DWORD>(CC_PRIMARY); }, false},
    };
    std::mt19937 rng(7);
    for (const auto& c : cases)
        for (const auto& [bits, flags] : {std::pair{24, 0u}, {32, 0u}, {32, colorcorrect::YUVBM_PREMULTIPLIED}}) {
            SCOPED_TRACE(testing::Message() << c.change << ", " << bits << " bits, flags " << flags);
            CBaseColorCorrectionFilter f;
            colorcorrect::FrontWords front;
            tagCOLORCORRINFO cc = EveryStage(kEvery);
            ASSERT_TRUE(f.SetupFilter(cc));
            YuvPicture kept = MakeYuvPicture(37, 9, bits, flags);
            FillRandom(kept, rng);
            for (int pass = 0; pass < 3; ++pass) // the third keeps the words
                ASSERT_TRUE(SameBytes(Corrected(f, kept), WithFront(f, kept, front)));
            const YuvPicture changed = NewColours(kept, rng);
            c.apply(cc);
            ASSERT_TRUE(f.SetupFilter(cc));
            const YuvPicture shown = WithFront(f, changed, front);
            ASSERT_FALSE(shown.pixels.empty());
            EXPECT_TRUE(SameBytes(Corrected(f, c.reused ? kept : changed), shown));
        }
}

TEST(FrontWords, AnotherPictureOrAClearGetsWordsOfItsOwn)
{
    std::mt19937 rng(8);
    CBaseColorCorrectionFilter f;
    colorcorrect::FrontWords front;
    ASSERT_TRUE(f.SetupFilter(EveryStage(kEvery)));
    YuvPicture first = MakeYuvPicture(40, 6, 24);
    FillRandom(first, rng);
    for (int pass = 0; pass < 3; ++pass)
        WithFront(f, first, front);
    EXPECT_EQ(front.Bytes(), 40u * 6 * 4);
    // Pictures of other geometries, each four times (kept the third, then
    // reused), then the last one's colours changed and announced.
    YuvPicture narrower = MakeYuvPicture(39, 6, 24), shorter = MakeYuvPicture(40, 5, 24), wider = MakeYuvPicture(41, 6, 32);
    for (YuvPicture* p : {&narrower, &shorter, &wider})
        FillRandom(*p, rng);
    for (const YuvPicture* p : {&narrower, &shorter, &wider})
        for (int pass = 0; pass < 4; ++pass)
            EXPECT_TRUE(SameBytes(Corrected(f, *p), WithFront(f, *p, front))) << p->Width() << " x " << p->Rows();
    const YuvPicture changed = NewColours(wider, rng);
    front.Clear();
    for (int pass = 0; pass < 2; ++pass) // kept again at once (the same key), then reused
        EXPECT_TRUE(SameBytes(Corrected(f, changed), WithFront(f, changed, front)));
}

TEST(FrontWords, NotTakenWithoutAVectorStage)
{
    CBaseColorCorrectionFilter f;
    colorcorrect::FrontWords front;
    YuvPicture p = MakeYuvPicture(8, 2, 24);
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    EXPECT_FALSE(f.PrepareFront(&p.header, p.pixels.data(), front));
    p.header.biCompression = 0; // not a YUV picture
    ASSERT_TRUE(f.SetupFilter(EveryStage(kEvery)));
    EXPECT_FALSE(f.PrepareFront(&p.header, p.pixels.data(), front));
}
