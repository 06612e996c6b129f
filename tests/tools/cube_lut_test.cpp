#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/cube_lut.h>
#include <colorcorrect/formats/image_io.h>

using colorcorrect::formats::CorrectionProcessor;
using colorcorrect::formats::CubeGridValue;
using colorcorrect::formats::CubeLut;
using colorcorrect::formats::DefaultCorrection;
using colorcorrect::formats::FormatCube;
using colorcorrect::formats::ParseCube;
using colorcorrect::formats::SampleCube;

namespace {

std::string CubeError(const std::string& text)
{
    CubeLut lut;
    std::string error;
    if (ParseCube(text, lut, error))
        return {};
    return error;
}

tagCOLORCORRINFO SomeLook()
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_CLIPPING;
    r.Base.sYGamma = 25;
    r.Base.sSat = 60;
    r.Base.sHue = -30;
    r.Base.sRBlack = 12;
    r.Base.wRangeFlags = RANGE_LEGAL;
    r.Base.bySoftY = 40;
    r.Vector6.sSat[1] = -50;
    return r;
}

} // namespace

TEST(CubeLutGrid, GridValuesAreRoundedEightBitSteps)
{
    EXPECT_EQ(CubeGridValue(0, 33), 0);
    EXPECT_EQ(CubeGridValue(1, 33), 8); // 7.97
    EXPECT_EQ(CubeGridValue(16, 33), 128); // 127.5 rounds up
    EXPECT_EQ(CubeGridValue(32, 33), 255);
    EXPECT_EQ(CubeGridValue(1, 18), 15); // 255 / 17 exactly
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(CubeGridValue(i, 256), i);
}

TEST(CubeLutSample, IdentityCorrectionIsTheIdentityWithinOneStep)
{
    CorrectionProcessor processor;
    std::string error;
    ASSERT_TRUE(processor.Setup(DefaultCorrection(), error)) << error;
    for (int n : {2, 17, 33, 65}) {
        CubeLut lut;
        ASSERT_TRUE(SampleCube(n, processor.Processor(), lut, error)) << error;
        ASSERT_EQ(lut.rgb.size(), size_t(n) * n * n * 3);
        // Read it back from the text, as a consumer would.
        CubeLut parsed;
        ASSERT_TRUE(ParseCube(FormatCube(lut), parsed, error)) << error;
        size_t i = 0;
        for (int b = 0; b < n; ++b)
            for (int g = 0; g < n; ++g)
                for (int r = 0; r < n; ++r, i += 3) {
                    const int want[3] = {CubeGridValue(r, n), CubeGridValue(g, n), CubeGridValue(b, n)};
                    for (int c = 0; c < 3; ++c)
                        ASSERT_LE(std::abs(int(parsed.rgb[i + size_t(c)]) - want[c]), 1)
                            << "N " << n << " at (" << r << ", " << g << ", " << b << ") channel " << c;
                }
    }
}

TEST(CubeLutSample, EntriesEqualWhatApplyDoesToThatColour)
{
    CorrectionProcessor processor;
    std::string error;
    ASSERT_TRUE(processor.Setup(SomeLook(), error)) << error;
    const int n = 9;
    CubeLut lut;
    ASSERT_TRUE(SampleCube(n, processor.Processor(), lut, error)) << error;
    // The same colours as a picture, through the still-picture path.
    colorcorrect::formats::RgbImage image;
    image.width = n * n * n;
    image.height = 1;
    image.channels = 3;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r)
                for (int v : {r, g, b})
                    image.pixels.push_back(static_cast<uint8_t>(CubeGridValue(v, n)));
    CVoraDib picture;
    ASSERT_TRUE(colorcorrect::formats::RgbImageToYuvPicture(image, picture, error));
    tagDIBINFO* info = picture;
    BYTE* pixels = picture;
    ASSERT_TRUE(processor.Process(info->bmiHeader, pixels, pixels));
    colorcorrect::formats::RgbImage out;
    ASSERT_TRUE(colorcorrect::formats::YuvPictureToRgbImage(picture, 3, out, error));
    EXPECT_EQ(out.pixels, lut.rgb);
    // And the look does change colours.
    EXPECT_NE(out.pixels, image.pixels);
}

TEST(CubeLutSample, SizeIsChecked)
{
    CorrectionProcessor processor;
    std::string error;
    ASSERT_TRUE(processor.Setup(DefaultCorrection(), error));
    CubeLut lut;
    EXPECT_FALSE(SampleCube(1, processor.Processor(), lut, error));
    EXPECT_EQ(error, "the cube size must be 2..256");
    EXPECT_FALSE(SampleCube(257, processor.Processor(), lut, error));
}

TEST(CubeLutText, FormatIsTheCubeLayout)
{
    CubeLut lut;
    lut.size = 2;
    lut.title = "warm \"look\"";
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 3; ++c)
            lut.rgb.push_back(static_cast<uint8_t>(i * 30 + c * 5 + (i == 7 ? 30 : 0)));
    const std::string text = FormatCube(lut);
    const std::string head = "# Written by colorcorrect: the correction sampled on an RGB grid\n"
                             "TITLE \"warm look\"\n"
                             "LUT_3D_SIZE 2\n"
                             "DOMAIN_MIN 0 0 0\n"
                             "DOMAIN_MAX 1 1 1\n"
                             "0.000000 0.019608 0.039216\n"
                             "0.117647 0.137255 0.156863\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - 27), "0.941176 0.960784 0.980392\n");
    CubeLut back;
    std::string error;
    ASSERT_TRUE(ParseCube(text, back, error)) << error;
    EXPECT_EQ(back.size, 2);
    EXPECT_EQ(back.rgb, lut.rgb);
    EXPECT_EQ(back.title, "warm look");
}

TEST(CubeLutText, MalformedTablesAreRefused)
{
    EXPECT_EQ(CubeError(""), "no LUT_3D_SIZE");
    EXPECT_EQ(CubeError("LUT_3D_SIZE 1\n"), "line 1: LUT_3D_SIZE must be given once, as a number in 2..256");
    EXPECT_EQ(CubeError("LUT_3D_SIZE 2\nLUT_3D_SIZE 2\n"),
              "line 2: LUT_3D_SIZE must be given once, as a number in 2..256");
    EXPECT_EQ(CubeError("LUT_1D_SIZE 2\n"), "line 1: 1D tables are not read");
    EXPECT_EQ(CubeError("0 0 0\n"), "line 1: values before LUT_3D_SIZE");
    EXPECT_EQ(CubeError("LUT_3D_SIZE 2\nDOMAIN_MAX 2 2 2\n"), "line 2: only the domain 0..1 is read");
    EXPECT_EQ(CubeError("LUT_3D_SIZE 2\n0 0\n"), "line 2: expected three numbers");
    EXPECT_EQ(CubeError("LUT_3D_SIZE 2\n0 0 1.5\n"), "line 2: value outside 0..1");
    EXPECT_EQ(CubeError("LUT_3D_SIZE 2\n0 0 0\n"), "1 entries where LUT_3D_SIZE 2 needs 8");
    std::string nine = "LUT_3D_SIZE 2\n";
    for (int i = 0; i < 9; ++i)
        nine += "0 0 0\n";
    EXPECT_EQ(CubeError(nine), "line 10: more than 8 entries");
}
