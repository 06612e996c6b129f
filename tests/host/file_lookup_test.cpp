#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <stdlib.h>

namespace fs = std::filesystem;
using colorcorrect::FindFileCaseInsensitive;
using colorcorrect::WidePathToUtf8;

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

TEST(WidePath, ConvertsToUtf8)
{
    EXPECT_EQ(WidePathToUtf8(L"resource/vector.bmp"), "resource/vector.bmp");
    EXPECT_EQ(WidePathToUtf8(L"caf\u00e9"), "caf\xc3\xa9");
    EXPECT_EQ(WidePathToUtf8(L"\u20ac"), "\xe2\x82\xac");
    EXPECT_EQ(WidePathToUtf8(L"\U0001F600"), "\xf0\x9f\x98\x80");
    EXPECT_EQ(WidePathToUtf8(nullptr), "");
}

TEST(WidePath, CombinesSurrogatePairsAndReplacesBrokenOnes)
{
    const wchar_t pair[] = {0xD83D, 0xDE00, 0};
    EXPECT_EQ(WidePathToUtf8(pair), "\xf0\x9f\x98\x80");
    const wchar_t lone[] = {L'a', 0xD800, L'b', 0};
    EXPECT_EQ(WidePathToUtf8(lone), "a\xef\xbf\xbd" "b");
}
