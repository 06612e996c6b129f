#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <array>

using colorcorrect::OutputLevelsOf;

TEST(OutputLevels, EveryRangeCombination)
{
    struct Case { unsigned flags; bool clipping; int lumaMin, lumaMax, chroma; };
    const Case cases[] = {
        {0, true, 0, 255, 127},
        {RANGE_VIDEO_LUMA, true, 16, 235, 112},
        {RANGE_LEGAL, true, 16, 235, 112},
        {RANGE_CHROMA_REDUCED, true, 0, 255, 84},
        {RANGE_LEGAL | RANGE_CHROMA_REDUCED, true, 16, 235, 84},
        {0x100 | RANGE_LEGAL, true, 16, 235, 112},
        {RANGE_LEGAL | RANGE_CHROMA_REDUCED, false, 0, 255, 127},
        {0x100, true, 0, 255, 127},
    };
    for (const Case& c : cases) {
        const auto l = OutputLevelsOf(c.flags, c.clipping);
        EXPECT_EQ((std::array{l.lumaMin, l.lumaMax, l.chromaLimit}), (std::array{c.lumaMin, c.lumaMax, c.chroma}))
            << c.flags << " " << c.clipping;
    }
}
