#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include "colorcorrect/host/bitmap_font.h"

using colorcorrect::FONT_GLYPH_HEIGHT;
using colorcorrect::FONT_GLYPH_WIDTH;
using colorcorrect::FontPixel;

namespace {

int CountPixels(char32_t c)
{
    int n = 0;
    for (int row = 0; row < FONT_GLYPH_HEIGHT; ++row)
        for (int col = 0; col < FONT_GLYPH_WIDTH; ++col)
            n += FontPixel(c, col, row) ? 1 : 0;
    return n;
}

} // namespace

TEST(BitmapFont, EveryPrintableCharacterButSpaceHasPixels)
{
    EXPECT_EQ(CountPixels(U' '), 0);
    for (char32_t c = 33; c <= 126; ++c)
        EXPECT_GT(CountPixels(c), 0) << "character " << static_cast<int>(c);
}

TEST(BitmapFont, GlyphsAreUpright)
{
    // 'T': full top row, then the stem in the middle column.
    for (int col = 0; col < 5; ++col)
        EXPECT_TRUE(FontPixel(U'T', col, 0)) << col;
    for (int row = 1; row < 7; ++row) {
        EXPECT_TRUE(FontPixel(U'T', 2, row)) << row;
        EXPECT_FALSE(FontPixel(U'T', 0, row)) << row;
    }
    // '_' lies on the bottom row only.
    EXPECT_EQ(CountPixels(U'_'), 5);
    EXPECT_TRUE(FontPixel(U'_', 0, 6));
}

TEST(BitmapFont, OtherCharactersAreBoxes)
{
    for (char32_t c : {U'\t', char32_t(127), char32_t(0xE9), char32_t(0x1F600)}) {
        EXPECT_EQ(CountPixels(c), 2 * 5 + 2 * 5) << static_cast<int>(c);
        EXPECT_TRUE(FontPixel(c, 0, 0));
        EXPECT_TRUE(FontPixel(c, 4, 6));
        EXPECT_FALSE(FontPixel(c, 2, 3));
    }
}

TEST(BitmapFont, NothingOutsideTheGlyph)
{
    EXPECT_FALSE(FontPixel(U'#', 5, 0));
    EXPECT_FALSE(FontPixel(U'#', -1, 0));
    EXPECT_FALSE(FontPixel(U'#', 0, 7));
    EXPECT_FALSE(FontPixel(U'#', 0, -1));
}
