#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stdlib.h>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"

namespace fs = std::filesystem;
using colorcorrect::EncodeBmp;
using colorcorrect::LoadBmpFromMemory;
using colorcorrect::test::FillPattern;
using colorcorrect::test::FillUniform;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelIs;
using colorcorrect::test::SetPixel;

namespace {

void Put16(std::vector<BYTE>& f, size_t at, uint32_t v)
{
    f[at] = static_cast<BYTE>(v);
    f[at + 1] = static_cast<BYTE>(v >> 8);
}

void Put32(std::vector<BYTE>& f, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        f[at + i] = static_cast<BYTE>(v >> (8 * i));
}

uint32_t Get32(const std::vector<BYTE>& f, size_t at)
{
    return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (uint32_t{f[at + 3]} << 24);
}

// A BMP file image with a 40-byte info header: `table` (masks or palette)
// follows the header, then the rows as given (already padded, in file order).
std::vector<BYTE> MakeFile(int32_t width, int32_t height, int bits, uint32_t compression,
                           const std::vector<BYTE>& table, const std::vector<BYTE>& rows,
                           uint32_t coloursUsed = 0)
{
    std::vector<BYTE> f(54);
    f[0] = 'B';
    f[1] = 'M';
    const uint32_t offset = static_cast<uint32_t>(54 + table.size());
    Put32(f, 2, static_cast<uint32_t>(offset + rows.size()));
    Put32(f, 10, offset);
    Put32(f, 14, 40);
    Put32(f, 18, static_cast<uint32_t>(width));
    Put32(f, 22, static_cast<uint32_t>(height));
    Put16(f, 26, 1);
    Put16(f, 28, static_cast<uint32_t>(bits));
    Put32(f, 30, compression);
    Put32(f, 34, static_cast<uint32_t>(rows.size()));
    Put32(f, 46, coloursUsed);
    f.insert(f.end(), table.begin(), table.end());
    f.insert(f.end(), rows.begin(), rows.end());
    return f;
}

// An 8-bit 3 x 2 file with a 4-entry palette; rows padded to 4 bytes.
std::vector<BYTE> PalettisedFile()
{
    const std::vector<BYTE> palette = {
        0, 0, 0, 0,        // 0 black
        255, 0, 0, 0,      // 1 blue
        0, 255, 0, 0,      // 2 green
        10, 20, 30, 0,     // 3 (B 10, G 20, R 30)
    };
    const std::vector<BYTE> rows = {
        1, 2, 3, 0, // bottom row
        3, 0, 1, 0, // top row
    };
    return MakeFile(3, 2, 8, 0, palette, rows, 4);
}

bool Load(CVoraDib& dib, const std::vector<BYTE>& file, int bits = 24)
{
    return LoadBmpFromMemory(dib, file.data(), file.size(), bits) == 1;
}

class BmpFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "cc_bmp_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    // The folder's name is ASCII; `name` may hold any character.
    std::wstring WPath(const std::wstring& name) const
    {
        const std::string root = root_.string();
        return std::wstring(root.begin(), root.end()) + L"/" + name;
    }

    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root_))
            names.push_back(e.path().filename().string());
        return names;
    }

    void Write(const std::string& name, const std::vector<BYTE>& data) const
    {
        std::ofstream out(root_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }

    std::vector<BYTE> Read(const std::string& name) const
    {
        std::ifstream in(root_ / name, std::ios::binary);
        return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root_;
};

} // namespace

// ---- round trips -------------------------------------------------------------

TEST_F(BmpFiles, RoundTripsOddSizesAtBothBitCounts)
{
    const int sizes[][2] = {{1, 1}, {3, 2}, {5, 7}, {2, 3}};
    for (int bits : {24, 32})
        for (const auto& s : sizes) {
            CVoraDib picture;
            ASSERT_EQ(picture.Alloc(s[0], s[1], bits, 0), 1);
            FillPattern(picture, static_cast<unsigned>(s[0] * 10 + s[1] + bits));
            const std::wstring path = WPath(L"round.bmp");
            ASSERT_EQ(picture.SaveToFile(path.c_str()), 1);
            CVoraDib loaded;
            ASSERT_EQ(loaded.LoadFromFile(path.c_str(), 0, 0, bits, 0), 1);
            EXPECT_TRUE(PicturesEqual(picture, loaded)) << s[0] << " x " << s[1] << " at " << bits;
        }
}

TEST_F(BmpFiles, SavedFileHasTheExpectedLayout)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(3, 2, 24, 0), 1);
    SetPixel(picture, 0, 0, {1, 2, 3});
    SetPixel(picture, 2, 1, {7, 8, 9});
    ASSERT_EQ(picture.SaveToFile(WPath(L"layout.bmp").c_str()), 1);
    const std::vector<BYTE> f = Read("layout.bmp");
    ASSERT_EQ(f.size(), 54u + 2 * 12);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Get32(f, 2), f.size());
    EXPECT_EQ(Get32(f, 10), 54u);
    EXPECT_EQ(Get32(f, 14), 40u);
    EXPECT_EQ(Get32(f, 18), 3u);
    EXPECT_EQ(Get32(f, 22), 2u); // positive: bottom-up
    EXPECT_EQ(f[28], 24);
    EXPECT_EQ(Get32(f, 30), 0u);
    EXPECT_EQ((std::vector<BYTE>(f.begin() + 54, f.begin() + 57)), (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ((std::vector<BYTE>(f.begin() + 66 + 6, f.begin() + 66 + 9)), (std::vector<BYTE>{7, 8, 9}));
    EXPECT_EQ(Entries(), std::vector<std::string>{"layout.bmp"}); // no temporary left
}

TEST_F(BmpFiles, SavingReplacesAnOlderFile)
{
    Write("old.bmp", std::vector<BYTE>(500, 0xEE));
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(2, 2, 32, 0), 1);
    ASSERT_EQ(picture.SaveToFile(WPath(L"old.bmp").c_str()), 1);
    EXPECT_EQ(Read("old.bmp").size(), 54u + 16);
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(BmpFiles, SavingRefusesYuvAndEmptyPictures)
{
    CVoraDib yuv;
    ASSERT_EQ(yuv.AllocYUV(2, 2, 24, 0), 1);
    EXPECT_EQ(yuv.SaveToFile(WPath(L"yuv.bmp").c_str()), 0);
    CVoraDib empty;
    EXPECT_EQ(empty.SaveToFile(WPath(L"empty.bmp").c_str()), 0);
    EXPECT_EQ(yuv.SaveToFile(nullptr), 0);
    EXPECT_TRUE(Entries().empty());
}

TEST_F(BmpFiles, FailedSaveLeavesNoFile)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(2, 2, 24, 0), 1);
    EXPECT_EQ(picture.SaveToFile(WPath(L"missing/folder.bmp").c_str()), 0);
    fs::create_directory(root_ / "target.bmp"); // a folder in the way of the rename
    EXPECT_EQ(picture.SaveToFile(WPath(L"target.bmp").c_str()), 0);
    EXPECT_EQ(Entries(), std::vector<std::string>{"target.bmp"});
    EXPECT_TRUE(fs::is_directory(root_ / "target.bmp"));
}

TEST_F(BmpFiles, LoadFindsFileInOtherLetterCaseAndWideNames)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(3, 3, 24, 0), 1);
    FillPattern(picture, 11);
    ASSERT_EQ(picture.SaveToFile(WPath(L"caf\u00e9.bmp").c_str()), 1);
    fs::create_directory(root_ / "resource");
    ASSERT_EQ(picture.SaveToFile(WPath(L"resource/colorntsc.bmp").c_str()), 1);
    CVoraDib a, b;
    EXPECT_EQ(a.LoadFromFile(WPath(L"CAF\u00e9.BMP").c_str(), 0, 0, 24, 0), 1);
    EXPECT_TRUE(PicturesEqual(picture, a));
    EXPECT_EQ(b.LoadFromFile(WPath(L"RESOURCE/COLORNTSC.BMP").c_str(), 0, 0, 24, 0), 1);
    EXPECT_TRUE(PicturesEqual(picture, b));
}

TEST_F(BmpFiles, LoadRefusesMissingFilesFoldersAndBadArguments)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(2, 2, 24, 0), 1);
    FillUniform(picture, {5, 6, 7});
    const CVoraDib before = picture;
    fs::create_directory(root_ / "folder.bmp");
    Write("good.bmp", PalettisedFile());
    EXPECT_EQ(picture.LoadFromFile(WPath(L"none.bmp").c_str(), 0, 0, 24, 0), 0);
    EXPECT_EQ(picture.LoadFromFile(WPath(L"folder.bmp").c_str(), 0, 0, 24, 0), 0);
    EXPECT_EQ(picture.LoadFromFile(nullptr, 0, 0, 24, 0), 0);
    EXPECT_EQ(picture.LoadFromFile(WPath(L"good.bmp").c_str(), 0, 0, 16, 0), 0);
    EXPECT_EQ(picture.LoadFromFile(WPath(L"good.bmp").c_str(), 0, 5, 24, 0), 0);
    EXPECT_EQ(picture.LoadFromFile(WPath(L"good.bmp").c_str(), -1, -1, 24, 0), 0);
    EXPECT_TRUE(PicturesEqual(before, picture));
}

TEST_F(BmpFiles, LoadScalesAndWritesFlags)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(4, 2, 24, 0), 1);
    FillUniform(picture, {10, 20, 30});
    SetPixel(picture, 0, 0, {50, 60, 70});
    ASSERT_EQ(picture.SaveToFile(WPath(L"scale.bmp").c_str()), 1);
    CVoraDib loaded;
    ASSERT_EQ(loaded.LoadFromFile(WPath(L"scale.bmp").c_str(), 2, 1, 32, 6), 1);
    EXPECT_EQ(loaded.GetWidth(), 2);
    EXPECT_EQ(loaded.GetHeight(), 1);
    EXPECT_EQ(+static_cast<tagDIBINFO*>(loaded)->bmiHeader.dwFlags, 6u);
    EXPECT_TRUE(PixelIs(loaded, 0, 0, {20, 30, 40, 255})); // (3 * v + w) / 4
    EXPECT_TRUE(PixelIs(loaded, 1, 0, {10, 20, 30, 255}));
    CVoraDib same;
    ASSERT_EQ(same.LoadFromFile(WPath(L"scale.bmp").c_str(), 0, 0, 24, 3), 1);
    EXPECT_EQ(+static_cast<tagDIBINFO*>(same)->bmiHeader.dwFlags, 3u);
}

// ---- reading variants ----------------------------------------------------------

TEST(BmpRead, EncodedPictureReadsBack)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(5, 3, 32, 0), 1);
    FillPattern(picture, 12);
    CVoraDib loaded;
    ASSERT_TRUE(Load(loaded, EncodeBmp(picture), 32));
    EXPECT_TRUE(PicturesEqual(picture, loaded));
    EXPECT_EQ(+static_cast<tagDIBINFO*>(loaded)->bmiHeader.dwFlags, 0u);
    EXPECT_EQ(+static_cast<tagDIBINFO*>(loaded)->bmiHeader.biCompression, 0u);
}

TEST(BmpRead, TopDownFileGivesTheSamePicture)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(3, 4, 24, 0), 1);
    FillPattern(picture, 13);
    std::vector<BYTE> f = EncodeBmp(picture);
    // Reverse the row order and negate the height.
    const size_t stride = 12;
    std::vector<BYTE> flipped(f.begin(), f.begin() + 54);
    for (int row = 3; row >= 0; --row)
        flipped.insert(flipped.end(), f.begin() + 54 + row * stride, f.begin() + 54 + (row + 1) * stride);
    Put32(flipped, 22, static_cast<uint32_t>(-4));
    CVoraDib loaded;
    ASSERT_TRUE(Load(loaded, flipped));
    EXPECT_TRUE(PicturesEqual(picture, loaded));
}

TEST(BmpRead, PalettisedFile)
{
    CVoraDib loaded;
    ASSERT_TRUE(Load(loaded, PalettisedFile(), 32));
    ASSERT_EQ(loaded.GetWidth(), 3);
    ASSERT_EQ(loaded.GetHeight(), 2);
    EXPECT_TRUE(PixelIs(loaded, 0, 0, {255, 0, 0, 255}));
    EXPECT_TRUE(PixelIs(loaded, 1, 0, {0, 255, 0, 255}));
    EXPECT_TRUE(PixelIs(loaded, 2, 0, {10, 20, 30, 255}));
    EXPECT_TRUE(PixelIs(loaded, 0, 1, {10, 20, 30, 255}));
    EXPECT_TRUE(PixelIs(loaded, 1, 1, {0, 0, 0, 255}));
    EXPECT_TRUE(PixelIs(loaded, 2, 1, {255, 0, 0, 255}));
}

TEST(BmpRead, PalettisedFileWithFullPaletteAndZeroCount)
{
    std::vector<BYTE> palette(256 * 4, 0);
    for (int i = 0; i < 256; ++i)
        palette[i * 4 + 2] = static_cast<BYTE>(255 - i);
    const std::vector<BYTE> rows = {0, 200, 255, 0};
    CVoraDib loaded;
    ASSERT_TRUE(Load(loaded, MakeFile(3, 1, 8, 0, palette, rows, 0)));
    EXPECT_TRUE(PixelIs(loaded, 0, 0, {0, 0, 255}));
    EXPECT_TRUE(PixelIs(loaded, 1, 0, {0, 0, 55}));
    EXPECT_TRUE(PixelIs(loaded, 2, 0, {0, 0, 0}));
}

TEST(BmpRead, BitfieldsWithStandardMasks)
{
    const std::vector<BYTE> masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    const std::vector<BYTE> rows = {1, 2, 3, 4, 5, 6, 7, 0};
    CVoraDib loaded;
    ASSERT_TRUE(Load(loaded, MakeFile(2, 1, 32, 3, masks, rows), 32));
    // No alpha mask: the fourth byte means nothing and the picture is opaque.
    EXPECT_TRUE(PixelIs(loaded, 0, 0, {1, 2, 3, 255}));
    EXPECT_TRUE(PixelIs(loaded, 1, 0, {5, 6, 7, 255}));
}

TEST(BmpRead, BitfieldsWithAlphaMaskInLongHeader)
{
    // A 56-byte info header holds the R, G, B and alpha masks itself.
    std::vector<BYTE> f = MakeFile(1, 1, 32, 3, {}, {});
    Put32(f, 14, 56);
    f.resize(14 + 56);
    Put32(f, 54, 0x00FF0000u);
    Put32(f, 58, 0x0000FF00u);
    Put32(f, 62, 0x000000FFu);
    Put32(f, 66, 0xFF000000u);
    Put32(f, 10, 70);
    f.insert(f.end(), {9, 8, 7, 6});
    CVoraDib loaded;
    ASSERT_TRUE(Load(loaded, f, 32));
    EXPECT_TRUE(PixelIs(loaded, 0, 0, {9, 8, 7, 6}));
}

TEST(BmpRead, ThirtyTwoBitFileWithZeroFourthBytesIsOpaque)
{
    const std::vector<BYTE> rows = {1, 2, 3, 0, 4, 5, 6, 0};
    CVoraDib loaded;
    ASSERT_TRUE(Load(loaded, MakeFile(2, 1, 32, 0, {}, rows), 32));
    EXPECT_TRUE(PixelIs(loaded, 0, 0, {1, 2, 3, 255}));
    EXPECT_TRUE(PixelIs(loaded, 1, 0, {4, 5, 6, 255}));
}

TEST(BmpRead, ConvertsBetweenBitCounts)
{
    const std::vector<BYTE> rows32 = {1, 2, 3, 100};
    CVoraDib narrow;
    ASSERT_TRUE(Load(narrow, MakeFile(1, 1, 32, 0, {}, rows32), 24));
    EXPECT_EQ(+static_cast<tagDIBINFO*>(narrow)->bmiHeader.biBitCount, 24);
    EXPECT_TRUE(PixelIs(narrow, 0, 0, {1, 2, 3}));
    const std::vector<BYTE> rows24 = {1, 2, 3, 0};
    CVoraDib wide;
    ASSERT_TRUE(Load(wide, MakeFile(1, 1, 24, 0, {}, rows24), 32));
    EXPECT_TRUE(PixelIs(wide, 0, 0, {1, 2, 3, 255}));
}

// ---- faulty files ----------------------------------------------------------------

class BmpFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(target_.Alloc(2, 2, 24, 0), 1);
        FillUniform(target_, {5, 6, 7});
        before_ = target_;
    }

    // Loading must fail and leave the picture as it was.
    void ExpectRefused(const std::vector<BYTE>& file, const std::string& what)
    {
        EXPECT_EQ(LoadBmpFromMemory(target_, file.data(), file.size(), 24), 0) << what;
        EXPECT_TRUE(PicturesEqual(before_, target_)) << what;
    }

    CVoraDib target_;
    CVoraDib before_;
};

TEST_F(BmpFaults, EveryTruncationIsRefused)
{
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(3, 2, 24, 0), 1);
    FillPattern(picture, 14);
    for (const std::vector<BYTE>& file : {EncodeBmp(picture), PalettisedFile()})
        for (size_t n = 0; n < file.size(); ++n)
            ExpectRefused(std::vector<BYTE>(file.begin(), file.begin() + n),
                          "truncated to " + std::to_string(n));
}

TEST_F(BmpFaults, NullDataAndBadBitCount)
{
    EXPECT_EQ(LoadBmpFromMemory(target_, nullptr, 100, 24), 0);
    const std::vector<BYTE> good = PalettisedFile();
    EXPECT_EQ(LoadBmpFromMemory(target_, good.data(), good.size(), 8), 0);
    EXPECT_TRUE(PicturesEqual(before_, target_));
}

TEST_F(BmpFaults, CorruptHeaders)
{
    const std::vector<BYTE> good = PalettisedFile();
    auto changed = [&](size_t at, uint32_t value, int bytes = 4) {
        std::vector<BYTE> f = good;
        if (bytes == 2)
            Put16(f, at, value);
        else
            Put32(f, at, value);
        return f;
    };
    ExpectRefused(changed(0, 0x4142, 2), "signature");
    ExpectRefused(changed(10, 0xFFFFFFF0u), "pixel offset beyond the file");
    ExpectRefused(changed(10, 54), "pixel offset inside the palette");
    ExpectRefused(changed(10, static_cast<uint32_t>(good.size() - 4)), "pixel offset too late");
    ExpectRefused(changed(14, 12), "unknown info header size");
    ExpectRefused(changed(14, 0xFFFFFF00u), "huge info header size");
    ExpectRefused(changed(18, 0), "zero width");
    ExpectRefused(changed(18, static_cast<uint32_t>(-3)), "negative width");
    ExpectRefused(changed(22, 0), "zero height");
    ExpectRefused(changed(22, 0x80000000u), "most negative height");
    ExpectRefused(changed(26, 2, 2), "planes");
    ExpectRefused(changed(28, 16, 2), "16-bit pixels");
    ExpectRefused(changed(28, 4, 2), "4-bit pixels");
    ExpectRefused(changed(30, 1), "run-length compression");
    ExpectRefused(changed(30, 3), "bit masks on a palettised file");
    ExpectRefused(changed(46, 300), "palette count above 256");
    ExpectRefused(changed(46, 0x40000000u), "huge palette count");
    ExpectRefused(changed(46, 3), "pixel beyond the palette");
}

TEST_F(BmpFaults, HugeDimensionsAreRefusedWithoutReading)
{
    std::vector<BYTE> f = MakeFile(1, 1, 24, 0, {}, {1, 2, 3, 0});
    Put32(f, 18, 0x7FFFFFFF);
    Put32(f, 22, 0x7FFFFFFF);
    ExpectRefused(f, "2^31 x 2^31");
    Put32(f, 18, 40000);
    Put32(f, 22, static_cast<uint32_t>(-40000));
    ExpectRefused(f, "top-down 40000 x 40000");
}

TEST_F(BmpFaults, NonStandardMasksAreRefused)
{
    const std::vector<BYTE> rows = {1, 2, 3, 4};
    ExpectRefused(MakeFile(1, 1, 32, 3, {0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF}, rows),
                  "swapped masks");
    ExpectRefused(MakeFile(1, 1, 32, 3, {0, 0, 0xFF, 0, 0, 0xFF, 0, 0}, rows), "masks cut off");
}

TEST_F(BmpFaults, ClaimedSizeLargerThanTheData)
{
    std::vector<BYTE> f = PalettisedFile();
    Put32(f, 18, 16385);
    Put32(f, 22, 16385);
    ExpectRefused(f, "claimed size without pixels");
}

TEST_F(BmpFaults, DamagedHeadersNeverReadOutsideTheFile)
{
    // Every single-byte change of the headers either loads a plausible picture
    // or is refused with the picture unchanged; the sanitizer build checks that
    // no change makes the reader leave the file image.
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(3, 2, 32, 0), 1);
    FillPattern(picture, 15);
    for (const std::vector<BYTE>& good : {EncodeBmp(picture), PalettisedFile()}) {
        const size_t headerEnd = good.size() < 80 ? good.size() : 80;
        for (size_t at = 0; at < headerEnd; ++at)
            for (int value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                std::vector<BYTE> f = good;
                f[at] = static_cast<BYTE>(value);
                CVoraDib loaded = target_;
                if (LoadBmpFromMemory(loaded, f.data(), f.size(), 24) == 1) {
                    EXPECT_GT(loaded.GetWidth(), 0);
                    EXPECT_GT(loaded.GetHeight(), 0);
                    EXPECT_LE(static_cast<size_t>(loaded.GetWidth()) * loaded.GetHeight(), f.size())
                        << "byte " << at << " = " << value;
                } else {
                    EXPECT_TRUE(PicturesEqual(target_, loaded)) << "byte " << at << " = " << value;
                }
            }
    }
}
