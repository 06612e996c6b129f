#pragma once
// Picture checks for tests that say where pictures differ: the first
// differing pixel with its coordinates, the expected and the actual bytes.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace colorcorrect::test {

// Equal when both are empty, or both have the same width, height, bit count
// and compression and every pixel's bytes (3 or 4) are equal; row padding is
// not compared. A difference reports the first differing pixel as column x,
// memory row (0 = bottom) and row from the top, with both pixels' bytes.
::testing::AssertionResult PicturesEqual(const CVoraDib& expected, const CVoraDib& actual);

// The bytes (3 or 4) of the pixel at column x of memory row `row`; empty when
// the picture is empty or the position lies outside it.
std::vector<int> PixelAt(const CVoraDib& dib, int x, int row);

// True when the pixel at column x of memory row `row` starts with `bytes`
// (3 values compare bytes 0..2, 4 values all four); otherwise reports the
// position and both byte lists.
::testing::AssertionResult PixelIs(const CVoraDib& dib, int x, int row,
                                   std::initializer_list<int> bytes);

// "(b0, b1, b2[, b3])" for messages.
std::string BytesText(const std::vector<int>& bytes);

} // namespace colorcorrect::test
