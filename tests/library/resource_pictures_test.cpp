// The resource pictures drawn by the build's generator: the five scope
// backgrounds and the default picture. The generator is run into a scratch
// folder; the build tree's own copy beside the programs is checked against it.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/picture_compare.h"
#include "support/png_file.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using colorcorrect::test::ExecutableFolder;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelAt;
using colorcorrect::test::ReadStoredPng;
using colorcorrect::test::RunCommand;
using colorcorrect::test::ShellQuote;
using colorcorrect::test::TempFolder;
using colorcorrect::test::WritePng;

namespace {

constexpr const char* kBackgrounds[] = {"vector", "waveform", "lightning", "histogram",
                                        "vectlight"};
constexpr const char* kDefaultPicture = "COLORNTSC.BMP";

fs::path Generator()
{
    return ExecutableFolder() / "colorcorrect_draw_resources";
}

CVoraDib Load(const fs::path& path)
{
    CVoraDib dib;
    dib.LoadFromFile(colorcorrect::WideFromUtf8(path.string()).c_str(), 0, 0, 24, 0);
    return dib;
}

// The bit count written in a BMP file's header.
int FileBitCount(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[30] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    return in ? header[28] | header[29] << 8 : 0;
}

// Red byte of the pixel at column x, memory line y.
int Red(const CVoraDib& dib, int x, int y)
{
    const auto p = PixelAt(dib, x, y);
    return p.empty() ? -1 : p[2];
}

// Y, U, V (U and V signed) of an RGB colour by the library's conversion.
struct Yuv {
    int y, u, v;
};

Yuv ToYuv(int r, int g, int b)
{
    CVoraDib one;
    one.Alloc(1, 1, 24, 0);
    BYTE* p = one;
    p[0] = static_cast<BYTE>(b);
    p[1] = static_cast<BYTE>(g);
    p[2] = static_cast<BYTE>(r);
    one.ToYUV();
    p = one;
    return {p[0], p[1] - 128, p[2] - 128};
}

struct Rgb {
    int r, g, b;
};

// The six 75 % hue bars.
const Rgb kHueBars[6] = {{191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                         {191, 0, 191}, {191, 0, 0},   {0, 0, 191}};

// Runs the generator into a scratch folder once for the whole suite.
class ResourcePictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new TempFolder("cc_resources");
        std::string output;
        status = RunCommand(ShellQuote(Generator().string()) + " " +
                                ShellQuote(folder->Path().string()),
                            output);
        log = output;
    }
    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
    }

    void SetUp() override
    {
        if (!fs::exists(Generator()))
            GTEST_SKIP() << "the resource picture generator is not built";
        ASSERT_TRUE(folder->Ok());
        ASSERT_EQ(status, 0) << log;
    }

    static fs::path File(const std::string& name) { return folder->Path() / name; }
    static CVoraDib Background(const std::string& name) { return Load(File(name + ".bmp")); }

    static TempFolder* folder;
    static int status;
    static std::string log;
};

TempFolder* ResourcePictures::folder = nullptr;
int ResourcePictures::status = -1;
std::string ResourcePictures::log;

} // namespace

// ---- the program ---------------------------------------------------------------------

TEST_F(ResourcePictures, GeneratorNeedsItsOutputFolder)
{
    std::string output;
    EXPECT_EQ(RunCommand(ShellQuote(Generator().string()), output), 2);
    EXPECT_NE(output.find("usage"), std::string::npos) << output;
    EXPECT_NE(RunCommand(ShellQuote(Generator().string()) + " /nonexistent-folder/x", output), 0);
}

TEST_F(ResourcePictures, BackgroundsAre384x288At24Bits)
{
    for (const char* name : kBackgrounds) {
        SCOPED_TRACE(name);
        const CVoraDib dib = Background(name);
        EXPECT_EQ(dib.GetWidth(), 384);
        EXPECT_EQ(dib.GetHeight(), 288);
        EXPECT_EQ(FileBitCount(File(std::string(name) + ".bmp")), 24);
    }
}

TEST_F(ResourcePictures, GraticulesAreInTheRedChannelOnly)
{
    for (const char* name : kBackgrounds) {
        SCOPED_TRACE(name);
        const CVoraDib dib = Background(name);
        int red = 0;
        for (int y = 0; y < dib.GetHeight(); ++y)
            for (int x = 0; x < dib.GetWidth(); ++x) {
                const auto p = PixelAt(dib, x, y);
                ASSERT_EQ(p[0], 0) << "blue at " << x << ", line " << y;
                ASSERT_EQ(p[1], 0) << "green at " << x << ", line " << y;
                red += p[2] != 0;
            }
        EXPECT_GT(red, 1000) << "no graticule";
    }
}

// ---- the scope areas -------------------------------------------------------------------

TEST_F(ResourcePictures, VectorGraticuleCentresOnTheNeutralPoint)
{
    const CVoraDib dib = Background("vector");
    // The grid is 256 x 256 at (64, 16): chroma (u, v) at (192 + u, 144 + v).
    const int cx = 192, cy = 144;
    EXPECT_GT(Red(dib, cx, cy), 0);
    EXPECT_GT(Red(dib, cx + 60, cy), 0);  // U axis
    EXPECT_GT(Red(dib, cx, cy - 60), 0);  // V axis
    EXPECT_GT(Red(dib, cx + 127, cy), 0); // the limit circle
    EXPECT_GT(Red(dib, cx, cy + 127), 0);
    // A corner of each 75 % bar's target.
    for (const Rgb& bar : kHueBars) {
        const Yuv p = ToYuv(bar.r, bar.g, bar.b);
        SCOPED_TRACE(testing::Message() << "target " << p.u << ", " << p.v);
        for (int sx : {-5, 5})
            for (int sy : {-5, 5})
                EXPECT_GT(Red(dib, cx + p.u + sx, cy + p.v + sy), 0);
        // Open in the middle, so that the trace through it stays visible.
        EXPECT_EQ(Red(dib, cx + p.u, cy + p.v), 0);
    }
    // Red (75 %) lies up and to the left of the centre on screen: V > 0, U < 0.
    const Yuv red = ToYuv(191, 0, 0);
    EXPECT_GT(red.v, 0);
    EXPECT_LT(red.u, 0);
}

TEST_F(ResourcePictures, WaveformLevelLinesLieOnTheirLumaRows)
{
    const CVoraDib dib = Background("waveform");
    // 360 columns at x = 12; luma y on line 16 + y.
    for (int level : {0, 64, 128, 192, 255})
        for (int x = 12; x < 372; ++x)
            ASSERT_GT(Red(dib, x, 16 + level), 0) << "level " << level << " x " << x;
    for (int level : {16, 235}) {
        int red = 0;
        for (int x = 12; x < 372; ++x)
            red += Red(dib, x, 16 + level) > 0;
        EXPECT_GT(red, 180) << "level " << level;
        EXPECT_LT(red, 360) << "level " << level << " is dashed";
    }
    // Nothing red on the rows between level lines, apart from labels at the left.
    for (int x = 60; x < 370; ++x)
        ASSERT_EQ(Red(dib, x, 16 + 100), 0) << x;
}

TEST_F(ResourcePictures, LightningAxesCrossAtBlack)
{
    const CVoraDib dib = Background("lightning");
    // 255 columns at x = 64, 256 lines at 16; black (Y 0, U = V = 0) at grid
    // (128, 127): x 191, line 144.
    for (int y = 17; y < 272; ++y)
        ASSERT_GT(Red(dib, 191, y), 0) << y;
    for (int x = 64; x < 319; ++x)
        ASSERT_GT(Red(dib, x, 144), 0) << x;
    // Yellow's targets: (128 + Y/2, U + 127) above, (128 - Y/2, V + 127) below.
    const Yuv yl = ToYuv(191, 191, 0);
    const int h = (yl.y & ~1) / 2;
    EXPECT_GT(Red(dib, 64 + yl.u + 127 + 4, 16 + 128 + h + 4), 0);
    EXPECT_GT(Red(dib, 64 + yl.v + 127 - 4, 16 + 128 - h - 4), 0);
}

TEST_F(ResourcePictures, HistogramChartsKeepTheirBarsFree)
{
    const CVoraDib dib = Background("histogram");
    // Charts of 256 columns x 90 lines at x = 64, from lines 3, 99 and 195.
    const int grid[] = {16, 64, 128, 192, 235};
    for (int base : {3, 99, 195}) {
        SCOPED_TRACE(base);
        for (int x = 63; x <= 320; ++x) {
            ASSERT_GT(Red(dib, x, base - 1), 0) << x;
            ASSERT_GT(Red(dib, x, base + 90), 0) << x;
        }
        for (int y = base; y < base + 90; ++y) {
            ASSERT_GT(Red(dib, 63, y), 0);
            ASSERT_GT(Red(dib, 320, y), 0);
            for (int value = 0; value < 256; ++value) {
                bool gridColumn = false;
                for (int g : grid)
                    gridColumn |= g == value;
                if (!gridColumn) {
                    ASSERT_EQ(Red(dib, 64 + value, y), 0) << "value " << value << " line " << y;
                }
            }
        }
    }
}

TEST_F(ResourcePictures, CombinedDisplayFramesItsFourPanels)
{
    const CVoraDib dib = Background("vectlight");
    // Panels of 128 x 128 at x 42 and 212, lines 10 and 148.
    for (int px : {42, 212})
        for (int py : {10, 148}) {
            SCOPED_TRACE(testing::Message() << px << ", " << py);
            for (int i = -1; i <= 128; ++i) {
                ASSERT_GT(Red(dib, px + i, py - 1), 0);
                ASSERT_GT(Red(dib, px + i, py + 128), 0);
                ASSERT_GT(Red(dib, px - 1, py + i), 0);
                ASSERT_GT(Red(dib, px + 128, py + i), 0);
            }
        }
    // The half-scale vector panel's centre: chroma 0 at grid (63, 63).
    EXPECT_GT(Red(dib, 42 + 63, 10 + 63), 0);
}

// ---- the default picture ---------------------------------------------------------------

TEST_F(ResourcePictures, DefaultPictureIsA720x480ColourBarPattern)
{
    const CVoraDib dib = Load(File(kDefaultPicture));
    ASSERT_EQ(dib.GetWidth(), 720);
    ASSERT_EQ(dib.GetHeight(), 480);
    EXPECT_EQ(FileBitCount(File(kDefaultPicture)), 24);

    // Seven 75 % bars over the upper two thirds (memory lines 160..479):
    // grey, yellow, cyan, green, magenta, red, blue. Every pixel exact.
    const Rgb bars[7] = {{191, 191, 191}, kHueBars[0], kHueBars[1], kHueBars[2],
                         kHueBars[3],     kHueBars[4], kHueBars[5]};
    for (int i = 0; i < 7; ++i) {
        const int x0 = (i * 720 + 3) / 7, x1 = ((i + 1) * 720 + 3) / 7;
        for (int y = 160; y < 480; ++y)
            for (int x = x0; x < x1; ++x) {
                const auto p = PixelAt(dib, x, y);
                ASSERT_TRUE(p[2] == bars[i].r && p[1] == bars[i].g && p[0] == bars[i].b)
                    << "bar " << i << " at " << x << ", line " << y << ": "
                    << colorcorrect::test::BytesText(p);
            }
    }
    // Reverse bars below: blue, black, magenta, black, cyan, black, grey.
    const Rgb strip[7] = {kHueBars[5], {0, 0, 0}, kHueBars[3], {0, 0, 0},
                          kHueBars[1], {0, 0, 0}, {191, 191, 191}};
    for (int i = 0; i < 7; ++i) {
        const int x = (i * 720 + 360) / 7; // middle of the bar
        const auto p = PixelAt(dib, x, 140);
        EXPECT_TRUE(p[2] == strip[i].r && p[1] == strip[i].g && p[0] == strip[i].b)
            << "strip " << i << ": " << colorcorrect::test::BytesText(p);
    }
    // The bottom rows: full white under the yellow and cyan bars, black under
    // the blue bar, and a pluge of rising dark greys under the red bar.
    EXPECT_TRUE(colorcorrect::test::PixelIs(dib, 200, 60, {255, 255, 255}));
    EXPECT_TRUE(colorcorrect::test::PixelIs(dib, 700, 60, {0, 0, 0}));
    const int plugeLeft = PixelAt(dib, 530, 60)[1], plugeRight = PixelAt(dib, 600, 60)[1];
    EXPECT_LT(plugeLeft, plugeRight);
    EXPECT_LE(plugeRight, 32);
}

// ---- where the library finds them ----------------------------------------------------------

TEST_F(ResourcePictures, TheBuildTreeHoldsTheSamePictures)
{
    const fs::path beside = ExecutableFolder() / "resource";
    for (const char* name : kBackgrounds)
        EXPECT_TRUE(PicturesEqual(Background(name), Load(beside / (std::string(name) + ".bmp"))))
            << name;
    EXPECT_TRUE(PicturesEqual(Load(File(kDefaultPicture)), Load(beside / kDefaultPicture)));
}

TEST_F(ResourcePictures, TheLibraryLoadedTheBackgroundsAtStart)
{
    EXPECT_TRUE(PicturesEqual(Background("vector"), g_dibVector));
    EXPECT_TRUE(PicturesEqual(Background("waveform"), g_dibWaveform));
    EXPECT_TRUE(PicturesEqual(Background("lightning"), g_dibLightning));
    EXPECT_TRUE(PicturesEqual(Background("histogram"), g_dibHistogram));
    EXPECT_TRUE(PicturesEqual(Background("vectlight"), g_dibVectLight));
}

TEST_F(ResourcePictures, TheDefaultPictureIsFoundBesideTheLibrary)
{
    // As the viewer looks for it: "RESOURCE/COLORNTSC.BMP" in place of the
    // library's file name.
    wchar_t path[4096];
    ASSERT_GT(GetModuleFileNameW(g_hModule, path, 4096), 0u);
    const wchar_t* name = FU_FindFilename(path);
    ASSERT_NE(name, nullptr);
    std::wstring wanted(path, static_cast<size_t>(name - path));
    wanted += L"RESOURCE/COLORNTSC.BMP";
    CVoraDib dib;
    ASSERT_EQ(dib.LoadFromFile(wanted.c_str(), 0, 0, 24, 0), 1)
        << colorcorrect::Utf8FromWide(wanted);
    EXPECT_TRUE(PicturesEqual(Load(File(kDefaultPicture)), dib));
}

// ---- pictures to look at -----------------------------------------------------------------

// Writes every picture as a PNG file, into COLORCORRECT_PNG_DIR when that is
// set (to look at them), else into the scratch folder, and reads each back.
TEST_F(ResourcePictures, RenderAsPng)
{
    const char* wanted = std::getenv("COLORCORRECT_PNG_DIR");
    const fs::path out = wanted != nullptr && *wanted != '\0' ? fs::path(wanted) : folder->Path();
    fs::create_directories(out);
    std::vector<std::string> files(std::begin(kBackgrounds), std::end(kBackgrounds));
    for (std::string& f : files)
        f += ".bmp";
    files.push_back(kDefaultPicture);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const CVoraDib dib = Load(File(file));
        const fs::path png = out / (file + ".png");
        ASSERT_TRUE(WritePng(dib, png.string()));
        colorcorrect::test::PngPixels back;
        ASSERT_TRUE(ReadStoredPng(png.string(), back));
        ASSERT_EQ(back.width, dib.GetWidth());
        ASSERT_EQ(back.height, dib.GetHeight());
        // PNG rows run from the top on screen: memory line height - 1 first.
        for (int row = 0; row < back.height; ++row)
            for (int x = 0; x < back.width; ++x) {
                const auto p = PixelAt(dib, x, back.height - 1 - row);
                const unsigned char* q = &back.rgb[(static_cast<size_t>(row) * back.width + x) * 3];
                ASSERT_TRUE(q[0] == p[2] && q[1] == p[1] && q[2] == p[0])
                    << "pixel " << x << ", row " << row << " from the top";
            }
    }
}
