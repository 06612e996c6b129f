#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "support/host_bmp_files.h"
#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/run_process.h"

using colorcorrect::EncodeBmp;
using colorcorrect::test::PicturesEqual;
using Bytes = std::vector<BYTE>;

namespace {

using colorcorrect::test::BmpMasks;
using colorcorrect::test::MakeBmpFile;
using colorcorrect::test::PutLittleEndian;

const Bytes kPalettised = colorcorrect::test::PalettisedBmpFile();

int Load(CVoraDib& dib, const Bytes& file, int bits = 24)
{
    return colorcorrect::LoadBmpFromMemory(dib, file.data(), file.size(), bits);
}

} // namespace

TEST(BmpCodec, FilesRoundTripOverBitCountsAndOddWidths)
{
    colorcorrect::test::TempDir folder;
    const std::string root = folder.Path() + "/";
    auto path = [&root](const char* name) { return colorcorrect::WideFromUtf8(root + name); };
    std::ofstream(root + "caf\u00e9.bmp") << std::string(500, 'x'); // to be replaced whole
    std::filesystem::create_directories(root + "dir.bmp");
    for (int bits : {24, 32})
        for (int width : {1, 2, 3, 5, 7}) {
            CVoraDib picture, same, converted;
            ASSERT_EQ(picture.Alloc(width, 3, bits, 0), 1);
            colorcorrect::test::FillPattern(picture, static_cast<unsigned>(width + bits));
            ASSERT_EQ(picture.SaveToFile(path("caf\u00e9.bmp").c_str()), 1);
            EXPECT_EQ(picture.SaveToFile(path("dir.bmp").c_str()) + picture.SaveToFile(path("no/a.bmp").c_str()), 0);
            ASSERT_EQ(same.LoadFromFile(path("CAF\u00e9.BMP").c_str(), 0, 0, bits, 0), 1); // found in any letter case
            EXPECT_TRUE(PicturesEqual(picture, same)) << width << " x 3 at " << bits;
            // At the other bit count the fourth byte is dropped or opaque.
            ASSERT_EQ(converted.LoadFromFile(path("caf\u00e9.bmp").c_str(), 0, 0, 56 - bits, 6), 1);
            EXPECT_EQ(+static_cast<tagDIBINFO*>(converted)->bmiHeader.dwFlags, 6u);
            ASSERT_EQ(picture.Realloc(0, 0, 56 - bits, 0), 1);
            EXPECT_TRUE(PicturesEqual(picture, converted)) << width << " x 3 from " << bits;
        }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root), {}), 2) << "no temporary left behind";
    CVoraDib picture;
    ASSERT_EQ(picture.Alloc(3, 2, 24, 0), 1);
    colorcorrect::test::SetPixel(picture, 2, 1, {7, 8, 9});
    const Bytes expected = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,               // file header
                            40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, // size, planes, bits
                            24, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 72 dpi
                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9, 0, 0, 0};
    EXPECT_EQ(EncodeBmp(picture), expected);
}

TEST(BmpCodec, ReadsEveryAcceptedVariant)
{
    // Pixels bottom row first; 32-bit images without an alpha mask or alpha bytes are opaque.
    const std::pair<Bytes, std::vector<std::vector<int>>> cases[] = {
        {kPalettised, {{255, 0, 0, 255}, {0, 255, 0, 255}, {10, 20, 30, 255}, {10, 20, 30, 255}, {0, 0, 0, 255},
                       {255, 0, 0, 255}}},
        {MakeBmpFile(2, 1, 8, 0, Bytes(256 * 4, 9), {0, 255, 0, 0}), {{9, 9, 9, 255}, {9, 9, 9, 255}}}, // 256 colours
        {MakeBmpFile(1, -2, 24, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0}), {{4, 5, 6, 255}, {1, 2, 3, 255}}}, // top-down
        {MakeBmpFile(2, 1, 32, 0, {}, {1, 2, 3, 0, 4, 5, 6, 7}), {{1, 2, 3, 0}, {4, 5, 6, 7}}},
        {MakeBmpFile(2, 1, 32, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0}), {{1, 2, 3, 255}, {4, 5, 6, 255}}},
        {MakeBmpFile(2, 1, 32, 3, BmpMasks(), {1, 2, 3, 4, 5, 6, 7, 8}), {{1, 2, 3, 255}, {5, 6, 7, 255}}},
        {MakeBmpFile(1, 1, 32, 3, BmpMasks(0xFF000000u), {9, 8, 7, 6}, 0, 56), {{9, 8, 7, 6}}},
    };
    for (const auto& [file, pixels] : cases) {
        CVoraDib loaded;
        EXPECT_EQ(Load(loaded, file, 32), 1);
        std::vector<std::vector<int>> actual;
        for (int i = 0; i < loaded.GetWidth() * loaded.GetHeight(); ++i)
            actual.push_back(colorcorrect::test::PixelAt(loaded, i % loaded.GetWidth(), i / loaded.GetWidth()));
        EXPECT_EQ(actual, pixels);
    }
}

// Every refusal returns 0 and leaves the picture as it was. A picture's header has the byte
// layout of a BMP file's: the same damage is refused by the reader and, where it checks, SetDIB.
TEST(PictureRefusals, SizesHeadersFilesAndPointers)
{
    CVoraDib target, before;
    ASSERT_EQ(target.Alloc(2, 2, 24, 0), 1);
    colorcorrect::test::FillUniform(target, {5, 6, 7});
    before = target;
    auto expectRefused = [&](int result, const std::string& what) {
        EXPECT_EQ(result, 0) << what;
        EXPECT_TRUE(PicturesEqual(before, target)) << what;
    };
    const int sizes[][3] = {{2, 2, 16}, {2, 2, 8}, {0, 2, 24}, {2, -1, 24}, {-5, 2, 32}, {100000, 100000, 32},
                            {INT_MAX, INT_MAX, 24}, {16385, 16384, 32}}; // the last just above 1 GiB
    for (const auto& [w, h, bits] : sizes) {
        const std::string what = std::to_string(w) + " x " + std::to_string(h) + " x " + std::to_string(bits);
        expectRefused(target.Alloc(w, h, bits, 0) + target.AllocYUV(w, h, bits, 0), "Alloc " + what);
        expectRefused(target.Realloc(w, h, bits, 0) + target.SetDIB(before, w, h, bits, 0), "Realloc, SetDIB " + what);
    }
    // Fields: signature 0, pixel offset 10, info header size 14, width 18,
    // height 22, planes 26, bits 28, compression 30, palette entries 46.
    const uint32_t faults[][4] = { // offset, value, bytes, refused by SetDIB too
        {0, 0x4142, 2, 0},  {10, 10, 4, 1},          {10, 54, 4, 0},   {10, 74, 4, 0}, {10, 0xFFFFFFF0u, 4, 1},
        {14, 12, 4, 0},     {14, 0xFFFFFF00u, 4, 0}, {18, 0, 4, 1},    {18, uint32_t(-3), 4, 1},
        {18, 16385, 4, 1},  {18, INT_MAX, 4, 1},     {22, 0, 4, 1},    {22, 5, 4, 1},  {22, 0x80000000u, 4, 1},
        {26, 2, 2, 0},      {28, 16, 2, 1},          {28, 4, 2, 1},    {30, 1, 4, 1},  {30, 3, 4, 1},
        {30, 0x32595559u, 4, 1}, {46, 300, 4, 0},    {46, 3, 4, 0}};
    for (const auto& [at, value, bytes, picture] : faults) {
        Bytes file = kPalettised;
        CVoraDib source = before;
        BYTE* h = source.GetMemory();
        PutLittleEndian(&file[at], value, bytes);
        PutLittleEndian(h + at, value, bytes);
        expectRefused(Load(target, file) + (picture ? target.SetDIB(reinterpret_cast<tagDIBINFO*>(h), 0, 0, 24, 0) : 0),
                      "byte " + std::to_string(at) + " = " + std::to_string(value));
    }
    const std::pair<const char*, Bytes> files[] = {
        {"2^31 squared", MakeBmpFile(INT_MAX, INT_MAX, 24, 0, {}, {1, 2, 3, 0})},
        {"masks swapped", MakeBmpFile(1, 1, 32, 3, {0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF}, {1, 2, 3, 4})},
        {"alpha mask on 24 bits", MakeBmpFile(1, 1, 24, 3, BmpMasks(0xFF000000u), {1, 2, 3, 0}, 0, 56)},
        {"alpha mask 0xFF", MakeBmpFile(1, 1, 32, 3, BmpMasks(0xFF), {1, 2, 3, 4}, 0, 56)},
    };
    for (const auto& [what, file] : files)
        expectRefused(Load(target, file), what);
    expectRefused(Load(target, kPalettised, 8) + colorcorrect::LoadBmpFromMemory(target, nullptr, 100, 24), "memory");
    expectRefused(target.LoadFromFile(nullptr, 0, 0, 24, 0) + target.LoadFromFile(L"/dev/null", 0, 0, 24, 0) +
                      target.LoadFromFile(L"/nonexistent-cc/a.bmp", 0, 0, 24, 0) + target.SetDIB(nullptr, 0, 0, 24, 0),
                  "null, not a regular file, missing");
    colorcorrect::SetBlockAllocationBudget(0);
    const int noMemory = target.Alloc(4, 4, 24, 0) + target.Realloc(0, 0, 32, 0) + target.SetDIB(target, 1, 1, 24, 0);
    colorcorrect::SetBlockAllocationBudget(-1);
    expectRefused(noMemory, "no memory");
    static_cast<tagDIBINFO*>(before)->bmiHeader.biCompression = 0x32595559u; // another packed format
    target = before;
    expectRefused(target.ToYUV() + colorcorrect::ToRGB(target), "converting another format");
    CVoraDib empty, yuv;
    ASSERT_EQ(yuv.AllocYUV(2, 2, 24, 0), 1);
    EXPECT_EQ(empty.Realloc(0, 0, 24, 0) + empty.ToYUV() + colorcorrect::ToRGB(empty), 0) << "empty picture";
    EXPECT_EQ(EncodeBmp(empty).size() + EncodeBmp(yuv).size(), 0u);
    EXPECT_EQ(empty.SaveToFile(L"/tmp/cc-no.bmp") + yuv.SaveToFile(L"/tmp/cc-no.bmp") + yuv.SaveToFile(nullptr), 0);
}

TEST(PictureRefusals, EveryTruncationAndNoDamagedHeaderReadsOutsideTheFile)
{
    CVoraDib picture, target;
    ASSERT_EQ(picture.Alloc(3, 2, 32, 0), 1);
    colorcorrect::test::FillPattern(picture, 15);
    ASSERT_EQ(target.Alloc(2, 2, 24, 0), 1);
    for (const Bytes& good : {EncodeBmp(picture), kPalettised}) {
        for (size_t n = 0; n < good.size(); ++n)
            ASSERT_EQ(colorcorrect::LoadBmpFromMemory(target, good.data(), n, 24), 0) << "cut to " << n;
        // Single-byte damage of the headers loads a plausible picture or is
        // refused; the sanitizer build checks that nothing outside is read.
        for (size_t i = 0; i < 80 * 5 && i / 5 < good.size(); ++i) {
            Bytes f = good;
            f[i / 5] = Bytes{0x00, 0x01, 0x7F, 0x80, 0xFF}[i % 5];
            CVoraDib loaded = target;
            if (Load(loaded, f) == 1)
                EXPECT_LE(uint64_t(loaded.GetWidth()) * loaded.GetHeight(), f.size()) << i;
            else
                EXPECT_TRUE(PicturesEqual(target, loaded)) << i;
        }
    }
}
