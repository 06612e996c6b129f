#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <stdlib.h>

namespace fs = std::filesystem;
using colorcorrect::FindFileCaseInsensitive;

namespace {

class FileLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "cc_lookup_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "resource");
        std::ofstream(root_ / "resource" / "colorntsc.bmp") << "x";
        std::ofstream(root_ / "resource" / "Mixed.Bmp") << "x";
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Path(const std::string& rest) const { return (root_ / rest).string(); }

    fs::path root_;
};

} // namespace

TEST_F(FileLookup, ExistingPathIsReturnedAsItIs)
{
    EXPECT_EQ(FindFileCaseInsensitive(Path("resource/colorntsc.bmp")), Path("resource/colorntsc.bmp"));
    EXPECT_EQ(FindFileCaseInsensitive(Path("resource")), Path("resource"));
}

TEST_F(FileLookup, FindsFileInOtherLetterCase)
{
    EXPECT_EQ(FindFileCaseInsensitive(Path("RESOURCE/COLORNTSC.BMP")), Path("resource/colorntsc.bmp"));
    EXPECT_EQ(FindFileCaseInsensitive(Path("Resource/mixed.bmp")), Path("resource/Mixed.Bmp"));
    EXPECT_EQ(FindFileCaseInsensitive(Path("resource/MIXED.BMP")), Path("resource/Mixed.Bmp"));
}

TEST_F(FileLookup, MissingFileGivesInputUnchanged)
{
    EXPECT_EQ(FindFileCaseInsensitive(Path("RESOURCE/none.bmp")), Path("RESOURCE/none.bmp"));
    EXPECT_EQ(FindFileCaseInsensitive(Path("other/COLORNTSC.BMP")), Path("other/COLORNTSC.BMP"));
    EXPECT_EQ(FindFileCaseInsensitive(""), "");
}

TEST_F(FileLookup, WorksWithRelativePaths)
{
    const fs::path before = fs::current_path();
    fs::current_path(root_);
    const std::string found = FindFileCaseInsensitive("RESOURCE/ColorNTSC.bmp");
    const std::string dotted = FindFileCaseInsensitive("./Resource/COLORNTSC.BMP");
    fs::current_path(before);
    EXPECT_EQ(found, "resource/colorntsc.bmp");
    EXPECT_EQ(dotted, "./resource/colorntsc.bmp");
}

