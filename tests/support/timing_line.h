#pragma once
// Checks a captured debug timing line: a fixed text, a number of
// milliseconds (any decimal number), and a fixed ending.

#include <gtest/gtest.h>

#include <string>

namespace colorcorrect::test {

// Success when text is exactly prefix + one or more digits + suffix.
::testing::AssertionResult IsTimingLine(const std::string& text, const std::string& prefix,
                                        const std::string& suffix);

} // namespace colorcorrect::test
