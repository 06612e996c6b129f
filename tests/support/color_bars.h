#pragma once
// A 75 % colour-bar test picture.

#include <colorcorrect/colorcorrect.h>

#include <array>

namespace colorcorrect::test {

// Red, green and blue of the eight bars from left to right: white, yellow,
// cyan, green, magenta, red, blue, black, at 75 % (191) of full level.
inline constexpr std::array<std::array<int, 3>, 8> kColorBarRgb = {{
    {191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
    {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0},
}};

// A packed YUV picture of width x height pixels at `bits` (24 or 32, alpha
// 255) with eight vertical bars of equal width (bar b covers the columns x
// with x * 8 / width == b), converted from kColorBarRgb with the picture
// class's RGB-to-YUV conversion. Empty when the size is refused.
CVoraDib MakeColorBars(int width, int height, int bits);

// As MakeColorBars, but each change from one bar to the next is a linear
// blend over `transition` columns (ending at the bar boundary), as a
// band-limited video signal has it: the scopes then show the paths between
// the bars' colours as well.
CVoraDib MakeSoftColorBars(int width, int height, int bits, int transition);

// The bar that column x of a colour-bar picture of the given width shows.
inline int ColorBarAt(int x, int width)
{
    return x * 8 / width;
}

} // namespace colorcorrect::test
