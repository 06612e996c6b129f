// A picture's preview through its distinct colours: the filter's preview
// byte for byte, and refusals that leave the output untouched.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/random_record.h"

using colorcorrect::PictureColours;
using namespace colorcorrect::test;

namespace {

// A 24-bit YUV picture of exactly `count` colours.
CVoraDib FewColours(int width, int height, size_t count, unsigned seed)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(width, height, 24, 0), 1);
    FillFewColours(dib, count, seed);
    return dib;
}

} // namespace

TEST(PictureColours, PreviewIsTheFiltersForRandomLooksAndDisplayAids)
{
    std::mt19937 rng(29);
    colorcorrect::BandProcessor bands(3);
    struct Case {
        int width, height;
        size_t colours;
    };
    // Odd widths pad the rows; 1024 colours fill the colours' rows exactly;
    // in two columns many colours lie only at a row's start or end.
    for (const Case& c : {Case{63, 33, 40}, Case{1024, 4, 1024}, Case{2, 1, 1}, Case{301, 200, 5000},
                          Case{2, 300, 300}}) {
        const CVoraDib picture = FewColours(c.width, c.height, c.colours, rng());
        PictureColours colours;
        ASSERT_TRUE(colours.Build(picture, c.width % 2 ? &bands : nullptr));
        EXPECT_EQ(colours.Count(), c.colours);
        for (int look = 0; look < 12; ++look) {
            const std::string name = std::to_string(c.width) + " x " + std::to_string(c.height) + ", look " +
                                     std::to_string(look);
            CColorCorrectionFilter filter;
            const tagCOLORCORRINFO cc = RandomRecord(rng);
            filter.SetIsolateVector(rng() % 4);
            filter.SetIsolateType(look % 3 == 0 ? 0 : rng() % 8);
            ASSERT_EQ(filter.SetupFilter(cc), 1) << name;
            filter.SetChannel(look % 5);
            CVoraDib in = picture, expected = picture, actual = picture;
            FillPattern(actual, look);
            ASSERT_EQ(filter.ProcessPreview(in, expected), 1) << name;
            ASSERT_EQ(colours.Preview(filter, actual, look % 2 ? &bands : nullptr), 1) << name;
            EXPECT_TRUE(PicturesEqual(expected, actual)) << name;
        }
    }
}

TEST(PictureColours, RefusesWhatItCannotServeAndLeavesTheOutputAlone)
{
    const CVoraDib picture = FewColours(64, 32, 100, 1);
    CVoraDib rgb, yuv32, empty, many;
    ASSERT_EQ(rgb.Alloc(64, 32, 24, 0), 1);
    ASSERT_EQ(yuv32.AllocYUV(64, 32, 32, 0), 1);
    ASSERT_EQ(many.AllocYUV(64, 32, 24, 0), 1);
    FillPattern(many, 3); // about as many colours as pixels
    CColorCorrectionFilter filter;
    ASSERT_EQ(filter.SetupFilter(g_ccDefault), 1);

    PictureColours colours;
    for (const CVoraDib* refused : {&rgb, &yuv32, &empty, &many}) {
        ASSERT_TRUE(colours.Build(picture));
        EXPECT_FALSE(colours.Build(*refused)); // and forgets the colours it had
        EXPECT_FALSE(colours.Built());
        EXPECT_EQ(colours.Bytes(), 0u);
        CVoraDib out = picture;
        EXPECT_EQ(colours.Preview(filter, out, nullptr), 0);
        EXPECT_TRUE(PicturesEqual(picture, out));
    }

    ASSERT_TRUE(colours.Build(picture));
    EXPECT_GE(colours.Bytes(), 64u * 32 * 4);
    CVoraDib smaller = FewColours(64, 31, 10, 2), narrower = FewColours(63, 32, 10, 3), wider = yuv32;
    for (CVoraDib* out : {&smaller, &narrower, &wider, &rgb}) {
        const CVoraDib before = *out;
        EXPECT_EQ(colours.Preview(filter, *out, nullptr), 0);
        EXPECT_TRUE(PicturesEqual(before, *out));
    }
    colours.Clear();
    CVoraDib out = picture;
    FillPattern(out, 5);
    const CVoraDib before = out;
    EXPECT_EQ(colours.Preview(filter, out, nullptr), 0);
    EXPECT_TRUE(PicturesEqual(before, out));
}
