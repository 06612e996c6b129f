#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using colorcorrect::test::ExecutableFolder;
using colorcorrect::test::FillPattern;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::TempFolder;

namespace {

struct Background {
    const char* name;
    CVoraDib* dib;
};

const Background kBackgrounds[] = {
    {"vector", &g_dibVector},       {"waveform", &g_dibWaveform},
    {"lightning", &g_dibLightning}, {"histogram", &g_dibHistogram},
    {"vectlight", &g_dibVectLight},
};

// A blank 384 x 288, 24-bit RGB picture with every byte 0.
::testing::AssertionResult IsBlankScopePicture(const CVoraDib& dib)
{
    CVoraDib blank;
    if (!blank.Alloc(384, 288, 24, 0))
        return ::testing::AssertionFailure() << "cannot allocate";
    return PicturesEqual(blank, dib);
}

// CRC of a picture's pixel rows (padding included).
unsigned long PixelCrc(const CVoraDib& dib)
{
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    const BYTE* p = dib;
    return GetCRC1615(p, static_cast<unsigned long>(line) * static_cast<unsigned long>(dib.GetHeight()));
}

// Makes the current folder `folder` for the life of the object.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : m_old(fs::current_path()) { fs::current_path(folder); }
    ~InFolder() { fs::current_path(m_old); }

private:
    fs::path m_old;
};

// Sets g_hModule for the life of the object.
class ModuleHandle {
public:
    explicit ModuleHandle(HMODULE h) : m_old(g_hModule) { g_hModule = h; }
    ~ModuleHandle() { g_hModule = m_old; }

private:
    HMODULE m_old;
};

// A w x h RGB picture with a pattern, written to `path`.
CVoraDib WritePicture(const fs::path& path, int w, int h, unsigned seed)
{
    CVoraDib dib;
    EXPECT_TRUE(dib.Alloc(w, h, 24, 0));
    FillPattern(dib, seed);
    fs::create_directories(path.parent_path());
    EXPECT_TRUE(dib.SaveToFile(colorcorrect::WideFromUtf8(path.string()).c_str()));
    CVoraDib back;
    EXPECT_TRUE(back.LoadFromFile(colorcorrect::WideFromUtf8(path.string()).c_str(), 0, 0, 24, 0));
    return back;
}

} // namespace

// ---- what the attach work left -----------------------------------------------------

TEST(LibraryGlobals, DefaultRecordIsInitialised)
{
    tagCOLORCORRINFO expected;
    std::memset(&expected, 0x5C, sizeof expected);
    expected.Init(564);
    EXPECT_EQ(std::memcmp(&expected, &g_ccDefault, sizeof expected), 0);
    const uint32_t size = g_ccDefault.dwSize; // packed field: read into an aligned value
    EXPECT_EQ(size, 564u);
    EXPECT_EQ(g_ccDefault.Match.Vector[15].byHueWidth, 14);
    EXPECT_TRUE(expected.IsDefault());
}

TEST(LibraryGlobals, BlankPictureIs384x288At24Bits)
{
    const tagDIBINFO* hd = g_dibBlank;
    ASSERT_NE(hd, nullptr);
    const int bits = hd->bmiHeader.biBitCount;
    const uint32_t compression = hd->bmiHeader.biCompression;
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(compression, 0u);
    EXPECT_TRUE(IsBlankScopePicture(g_dibBlank));
}

TEST(LibraryGlobals, ModuleHandleNamesTheLibrary)
{
    ASSERT_NE(g_hModule, nullptr);
    wchar_t path[4096];
    ASSERT_GT(GetModuleFileNameW(g_hModule, path, 4096), 0u);
    const std::string library = colorcorrect::Utf8FromWide(path);
    EXPECT_NE(library.find("libcolorcorrect"), std::string::npos) << library;
    wchar_t exe[4096];
    ASSERT_GT(GetModuleFileNameW(GetMainInstance(), exe, 4096), 0u);
    EXPECT_NE(library, colorcorrect::Utf8FromWide(exe));
}

// Also run by the attach tests in a copy of this program placed elsewhere:
// there it reports what it found, one line per background.
TEST(LibraryGlobals, BackgroundsComeFromBesideTheExecutable)
{
    const fs::path folder = ExecutableFolder() / "resource";
    for (const Background& b : kBackgrounds) {
        SCOPED_TRACE(b.name);
        const fs::path file = folder / (std::string(b.name) + ".bmp");
        CVoraDib expected;
        if (expected.LoadFromFile(colorcorrect::WideFromUtf8(file.string()).c_str(), 0, 0, 24, 0))
            EXPECT_TRUE(PicturesEqual(expected, *b.dib));
        else
            EXPECT_TRUE(IsBlankScopePicture(*b.dib));
        const tagDIBINFO* hd = *b.dib;
        ASSERT_NE(hd, nullptr); // never an empty picture
        std::printf("background %s %dx%d %d %08lx\n", b.name, b.dib->GetWidth(),
                    b.dib->GetHeight(), hd->bmiHeader.biBitCount, PixelCrc(*b.dib));
    }
    std::fflush(stdout);
}

// ---- loading one background -----------------------------------------------------------

TEST(LoadScopePicture, MissingFileGivesABlankPicture)
{
    CVoraDib dib;
    ASSERT_TRUE(dib.Alloc(10, 10, 32, 0));
    FillPattern(dib, 4);
    LoadScopePicture(dib, L"no-such-background");
    EXPECT_TRUE(IsBlankScopePicture(dib));
}

TEST(LoadScopePicture, WithoutAModuleLooksInTheCurrentFolder)
{
    TempFolder t;
    ASSERT_TRUE(t.Ok());
    // Another size loads unchanged; the folder and file are found whatever
    // their case.
    const CVoraDib probe = WritePicture(t.Path() / "Resource" / "PROBE.BMP", 10, 7, 9);
    InFolder here(t.Path());
    CVoraDib dib;
    {
        ModuleHandle none(nullptr);
        LoadScopePicture(dib, L"probe");
    }
    EXPECT_TRUE(PicturesEqual(probe, dib));
    EXPECT_EQ(dib.GetWidth(), 10);
    // With the module known, the current folder is not where it looks.
    LoadScopePicture(dib, L"probe");
    EXPECT_TRUE(IsBlankScopePicture(dib));
}

TEST(LoadScopePicture, AnUnreadableFileGivesABlankPicture)
{
    TempFolder t;
    ASSERT_TRUE(t.Ok());
    fs::create_directories(t.Path() / "resource");
    std::FILE* f = std::fopen((t.Path() / "resource" / "broken.bmp").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("BM this is no picture", f);
    std::fclose(f);
    InFolder here(t.Path());
    ModuleHandle none(nullptr);
    CVoraDib dib;
    LoadScopePicture(dib, L"broken");
    EXPECT_TRUE(IsBlankScopePicture(dib));
}

// ---- the attach work itself ---------------------------------------------------------------

TEST(InitScopePictures, SetsTheModuleLoadsTheBackgroundsAndInitialisesTheRest)
{
    const HMODULE library = g_hModule;
    TempFolder t;
    ASSERT_TRUE(t.Ok());
    const CVoraDib vector = WritePicture(t.Path() / "resource" / "vector.bmp", 5, 5, 1);
    const CVoraDib histogram = WritePicture(t.Path() / "resource" / "histogram.bmp", 384, 288, 2);
    {
        InFolder here(t.Path());
        g_ccDefault.dwFlags = 7;
        g_dibBlank.Free();
        // A null handle: the backgrounds come from the current folder, which
        // shows that the handle was stored before they were loaded.
        InitScopePictures(nullptr);
        EXPECT_EQ(g_hModule, nullptr);
        EXPECT_TRUE(PicturesEqual(vector, g_dibVector));
        EXPECT_TRUE(PicturesEqual(histogram, g_dibHistogram));
        EXPECT_TRUE(IsBlankScopePicture(g_dibWaveform));
        EXPECT_TRUE(IsBlankScopePicture(g_dibLightning));
        EXPECT_TRUE(IsBlankScopePicture(g_dibVectLight));
        EXPECT_TRUE(IsBlankScopePicture(g_dibBlank));
        const uint32_t flags = g_ccDefault.dwFlags;
        EXPECT_EQ(flags, 0u);
        EXPECT_TRUE(g_ccDefault.IsDefault());

        // With the library's handle they come from beside the executable again.
        InitScopePictures(library);
    }
    EXPECT_EQ(g_hModule, library);
    const fs::path beside = ExecutableFolder() / "resource" / "vector.bmp";
    CVoraDib expected;
    if (expected.LoadFromFile(colorcorrect::WideFromUtf8(beside.string()).c_str(), 0, 0, 24, 0))
        EXPECT_TRUE(PicturesEqual(expected, g_dibVector));
    else
        EXPECT_TRUE(IsBlankScopePicture(g_dibVector));
}
