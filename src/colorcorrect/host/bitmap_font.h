#pragma once
// The small bitmap font text is drawn with: 5 x 7 glyphs in 6 x 8 cells, for
// printable ASCII (32..126). Every other character is drawn as an outlined box.

namespace colorcorrect {

// Pixels a character advances to the right (glyph plus one blank column).
inline constexpr int FONT_CELL_WIDTH = 6;
// Picture lines a line of text takes (glyph plus one blank line below it).
inline constexpr int FONT_CELL_HEIGHT = 8;
// Size of the glyph in the top-left corner of its cell.
inline constexpr int FONT_GLYPH_WIDTH = 5;
inline constexpr int FONT_GLYPH_HEIGHT = 7;

// True when the glyph of `ch` sets the pixel at `column` (0 = left) and `row`
// (0 = top, as read upright). False outside the 5 x 7 glyph area.
bool FontPixel(char32_t ch, int column, int row);

} // namespace colorcorrect
