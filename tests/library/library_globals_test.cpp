// What the library sets up when it is loaded: its module handle, the scope
// backgrounds from beside the running program, the blank picture and the
// default record.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/run_process.h"

namespace fs = std::filesystem;
using namespace colorcorrect::test;

namespace {

// A blank 384 x 288, 24-bit picture with every byte 0.
::testing::AssertionResult IsBlank(const CVoraDib& dib)
{
    CVoraDib blank;
    blank.Alloc(384, 288, 24, 0);
    return PicturesEqual(blank, dib);
}

// A pattern picture written to `path`, as the library will load it.
CVoraDib WritePicture(const fs::path& path, int w, int h, unsigned seed)
{
    CVoraDib dib, back;
    EXPECT_TRUE(dib.Alloc(w, h, 24, 0));
    FillPattern(dib, seed);
    fs::create_directories(path.parent_path());
    EXPECT_TRUE(dib.SaveToFile(colorcorrect::WideFromUtf8(path.string()).c_str()));
    EXPECT_TRUE(back.LoadFromFile(colorcorrect::WideFromUtf8(path.string()).c_str(), 0, 0, 24, 0));
    return back;
}

// The current folder and the module handle for the life of the object.
struct InFolder {
    InFolder(const fs::path& folder, HMODULE module) { fs::current_path(folder), g_hModule = module; }
    ~InFolder() { fs::current_path(oldFolder), g_hModule = oldModule; }
    fs::path oldFolder = fs::current_path();
    HMODULE oldModule = g_hModule;
};

} // namespace

TEST(LibraryGlobals, LoadedBesideTheProgramAtStart)
{
    wchar_t path[4096];
    ASSERT_GT(GetModuleFileNameW(g_hModule, path, 4096), 0u);
    EXPECT_NE(colorcorrect::Utf8FromWide(path).find("libcolorcorrect"), std::string::npos);
    EXPECT_TRUE(IsBlank(g_dibBlank));
    const std::pair<const char*, CVoraDib*> backgrounds[] = {
        {"vector", &g_dibVector},       {"waveform", &g_dibWaveform}, {"lightning", &g_dibLightning},
        {"histogram", &g_dibHistogram}, {"vectlight", &g_dibVectLight}};
    for (const auto& [name, dib] : backgrounds) {
        const fs::path file = ExecutableFolder() / "resource" / (std::string(name) + ".bmp");
        CVoraDib expected;
        if (expected.LoadFromFile(colorcorrect::WideFromUtf8(file.string()).c_str(), 0, 0, 24, 0))
            EXPECT_TRUE(PicturesEqual(expected, *dib)) << name;
        else
            EXPECT_TRUE(IsBlank(*dib)) << name;
    }
}

TEST(LoadScopePicture, FromTheProgramsFolderOrBlank)
{
    TempDir t;
    ASSERT_FALSE(t.Path().empty());
    const fs::path root = t.Path();
    // Any size loads unchanged; folder and file names are found whatever their case.
    const CVoraDib probe = WritePicture(root / "Resource" / "PROBE.BMP", 10, 7, 9);
    CVoraDib dib;
    {
        // Without a module the current folder stands for the program's.
        InFolder here(root, nullptr);
        LoadScopePicture(dib, L"probe");
        EXPECT_TRUE(PicturesEqual(probe, dib));
        LoadScopePicture(dib, L"probe");
        LoadScopePicture(dib, L"no-such-background");
        EXPECT_TRUE(IsBlank(dib));
    }
    InFolder here(root, g_hModule); // with the module known, not the current folder
    LoadScopePicture(dib, L"probe");
    EXPECT_TRUE(IsBlank(dib));
}
