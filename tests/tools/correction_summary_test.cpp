#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <string>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_summary.h>

using colorcorrect::formats::DefaultCorrection;
using colorcorrect::formats::DescribeCorrection;
using colorcorrect::formats::HueDegrees;

namespace {

::testing::AssertionResult HasLine(const std::string& text, const std::string& line)
{
    if (text.find(line + "\n") != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no line \"" << line << "\" in\n" << text;
}

} // namespace

TEST(CorrectionSummary, HueDegreesAsTheEngineTurns)
{
    EXPECT_EQ(HueDegrees(256), 180);
    EXPECT_EQ(HueDegrees(-256), -180);
    EXPECT_EQ(HueDegrees(20), 14);
    EXPECT_EQ(HueDegrees(-20), -14); // toward zero
    EXPECT_EQ(HueDegrees(300), 180);
}

TEST(CorrectionSummary, DefaultRecord)
{
    const std::string text = DescribeCorrection(DefaultCorrection());
    EXPECT_TRUE(HasLine(text, "active groups: none (only the full-range output limits apply)"));
    EXPECT_TRUE(HasLine(text, "primary: off"));
    EXPECT_TRUE(HasLine(text, "  luma curve:  neutral"));
    EXPECT_TRUE(HasLine(text, "  chroma: +-127, knee softness 0"));
    EXPECT_TRUE(HasLine(text, "  all segments neutral"));
    EXPECT_TRUE(HasLine(text, "match vectors: off, 0 in use"));
}

TEST(CorrectionSummary, SettingsAreListed)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING;
    r.Base.sYGamma = 30;
    r.Base.sHue = 20;
    r.Base.sSat = -40;
    r.Base.sGBlack = 5;
    r.Base.wRangeFlags = RANGE_VIDEO_LUMA | RANGE_CHROMA_REDUCED;
    r.Base.bySoftY = 12;
    r.Vector6.sHue[2] = -256;
    r.Match.dwCount = 2;
    r.Match.Vector[0].sUOffset = 4;
    r.Match.Vector[1].cU = 30;
    r.Match.Vector[1].cV = 0;
    r.Match.Vector[1].sSat = 25;
    const std::string text = DescribeCorrection(r);
    EXPECT_TRUE(HasLine(text, "active groups: primary, six-vector, match vectors, clipping"));
    EXPECT_TRUE(HasLine(text, "  luma curve:  white 0, gamma +30, black 0"));
    EXPECT_TRUE(HasLine(text, "  hue:         +20 (+14 degrees)"));
    EXPECT_TRUE(HasLine(text, "  saturation:  -40"));
    EXPECT_TRUE(HasLine(text, "  green curve: white 0, gamma 0, black +5"));
    EXPECT_TRUE(HasLine(text, "  luma curves work on the video range 16..235"));
    EXPECT_TRUE(HasLine(text, "  luma:   16..235, knee softness 12"));
    EXPECT_TRUE(HasLine(text, "  chroma: +-84, knee softness 0"));
    EXPECT_TRUE(HasLine(text, "  yellow   hue -256 (-180 degrees)"));
    EXPECT_TRUE(HasLine(text, "match vectors: on, 2 in use"));
    EXPECT_TRUE(HasLine(text, "  0 (background): chroma offset U +4, V 0"));
    EXPECT_TRUE(HasLine(text, "  1: colour U 30 V 0 (angle 0.0 degrees, radius 30.0), luma 128 +-128, hue width +-14, "
                              "saturation width +-20, softness luma 10 hue 50 saturation 50"));
    EXPECT_TRUE(HasLine(text, "     saturation +25"));
}
