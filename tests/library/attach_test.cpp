// The attach work as a host sees it: a copy of this test program is placed in
// a folder of its own, with or without resource pictures beside it, and run
// from yet another folder. Its library then loads the backgrounds at start-up,
// and the copy reports what it found.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "support/picture_pattern.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using colorcorrect::test::FillPattern;
using colorcorrect::test::RunCommand;
using colorcorrect::test::ShellQuote;
using colorcorrect::test::TempFolder;

namespace {

constexpr const char* kNames[] = {"vector", "waveform", "lightning", "histogram", "vectlight"};

// What the copy reported: "<w>x<h> <bits> <crc>" per background.
using Report = std::map<std::string, std::string>;

std::string Describe(const CVoraDib& dib)
{
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    const tagDIBINFO* hd = dib;
    const BYTE* p = dib;
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d %d %08lx", dib.GetWidth(), dib.GetHeight(),
                  hd == nullptr ? 0 : hd->bmiHeader.biBitCount,
                  static_cast<unsigned long>(
                      GetCRC1615(p, static_cast<unsigned long>(line) * dib.GetHeight())));
    return text;
}

std::string BlankDescription()
{
    CVoraDib blank;
    blank.Alloc(384, 288, 24, 0);
    return Describe(blank);
}

// Writes a pattern picture and returns the description of what the library
// will load from it.
std::string WritePicture(const fs::path& path, int w, int h, int bits, unsigned seed)
{
    CVoraDib dib;
    EXPECT_TRUE(dib.Alloc(w, h, bits, 0));
    FillPattern(dib, seed);
    fs::create_directories(path.parent_path());
    const std::wstring wide = colorcorrect::WideFromUtf8(path.string());
    EXPECT_TRUE(dib.SaveToFile(wide.c_str()));
    CVoraDib loaded;
    EXPECT_TRUE(loaded.LoadFromFile(wide.c_str(), 0, 0, 24, 0));
    return Describe(loaded);
}

class AttachInAnotherFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.Ok());
        programFolder = root.Path() / "host";
        workFolder = root.Path() / "work";
        fs::create_directories(programFolder);
        fs::create_directories(workFolder);
        program = programFolder / "host_program";
        std::error_code ec;
        fs::copy_file(fs::read_symlink("/proc/self/exe"), program, ec);
        ASSERT_FALSE(ec) << ec.message();
        // The current folder holds pictures of its own, which must not be
        // taken: the backgrounds belong beside the executable.
        for (const char* name : kNames)
            WritePicture(workFolder / "resource" / (std::string(name) + ".bmp"), 8, 8, 24, 77);
    }

    // Runs the copy's background check and collects its report.
    Report Run()
    {
        const std::string command =
            "cd " + ShellQuote(workFolder.string()) + " && env -u GTEST_OUTPUT " +
            ShellQuote(program.string()) +
            " --gtest_filter=LibraryGlobals.BackgroundsComeFromBesideTheExecutable";
        std::string output;
        const int status = RunCommand(command, output);
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
        Report report;
        std::istringstream lines(output);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("background ", 0) != 0)
                continue;
            const size_t name = line.find(' ') + 1;
            const size_t rest = line.find(' ', name);
            report[line.substr(name, rest - name)] = line.substr(rest + 1);
        }
        return report;
    }

    TempFolder root{"cc_attach"};
    fs::path programFolder, workFolder, program;
};

} // namespace

TEST_F(AttachInAnotherFolder, WithoutResourceFilesEveryBackgroundIsBlank)
{
    const Report report = Run();
    ASSERT_EQ(report.size(), 5u);
    const std::string blank = BlankDescription();
    for (const char* name : kNames)
        EXPECT_EQ(report.at(name), blank) << name;
}

TEST_F(AttachInAnotherFolder, ResourceFilesBesideTheProgramAreLoaded)
{
    const fs::path resource = programFolder / "resource";
    std::map<std::string, std::string> expected;
    // Any size and bit depth loads unchanged, as a 24-bit picture; names are
    // found whatever their case.
    expected["vector"] = WritePicture(resource / "vector.bmp", 10, 7, 24, 1);
    expected["waveform"] = WritePicture(resource / "WAVEFORM.BMP", 384, 288, 24, 2);
    expected["lightning"] = WritePicture(resource / "Lightning.bmp", 33, 20, 32, 3);
    // A file that is no picture, and a missing one, give blank pictures.
    std::FILE* f = std::fopen((resource / "histogram.bmp").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("BM", f);
    std::fclose(f);
    expected["histogram"] = BlankDescription();
    expected["vectlight"] = BlankDescription();

    const Report report = Run();
    ASSERT_EQ(report.size(), 5u);
    for (const char* name : kNames)
        EXPECT_EQ(report.at(name), expected[name]) << name;
    EXPECT_NE(expected["vector"], expected["waveform"]);
    EXPECT_EQ(report.at("vector").rfind("10x7 24 ", 0), 0u);
}
