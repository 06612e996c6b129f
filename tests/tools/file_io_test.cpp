#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include <colorcorrect/formats/file_io.h>
#include "support/run_process.h"

using colorcorrect::formats::OutputFile;
using colorcorrect::formats::ReadWholeFile;
using colorcorrect::formats::WriteWholeFile;
using colorcorrect::test::FileExists;
using colorcorrect::test::ReadFile;
using colorcorrect::test::TempDir;
using colorcorrect::test::WriteFile;

TEST(OutputFileTest, AppearsOnlyWhenCommitted)
{
    TempDir dir;
    const std::string target = dir.File("out.bin");
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.Open(target, error)) << error;
    ASSERT_TRUE(out.Sink().Write("hello", 5));
    EXPECT_FALSE(FileExists(target));
    const auto during = dir.Entries();
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during[0].rfind(".out.bin.tmp-", 0), 0u) << during[0];
    ASSERT_TRUE(out.Commit(error)) << error;
    EXPECT_EQ(ReadFile(target), "hello");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bin"});
}

TEST(OutputFileTest, AbandonedOutputLeavesNothingAndKeepsTheOldFile)
{
    TempDir dir;
    const std::string target = dir.File("keep.txt");
    WriteFile(target, "old");
    {
        OutputFile out;
        std::string error;
        ASSERT_TRUE(out.Open(target, error));
        ASSERT_TRUE(out.Sink().Write("new but unfinished", 18));
    }
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.txt"});
}

TEST(OutputFileTest, DiscardRemovesTheTemporaryFile)
{
    TempDir dir;
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.File("x"), error));
    out.Discard();
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(OutputFileTest, FinalFileHasTheUsualPermissions)
{
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteWholeFile(dir.File("p"), "x", 1, error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("p").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(OutputFileTest, ImpossibleTargetsAreExplained)
{
    TempDir dir;
    OutputFile out;
    std::string error;
    EXPECT_FALSE(out.Open(dir.Path(), error));
    EXPECT_EQ(error, "is a directory");
    EXPECT_FALSE(out.Open(dir.File("missing/x.png"), error));
    EXPECT_EQ(error, "cannot create: No such file or directory");
}

TEST(ReadWholeFileTest, ContentsLimitsAndFailures)
{
    TempDir dir;
    WriteFile(dir.File("f"), "0123456789");
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(dir.File("f"), 10, bytes, error)) << error;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    EXPECT_FALSE(ReadWholeFile(dir.File("f"), 9, bytes, error));
    EXPECT_EQ(error, "larger than 9 bytes");
    EXPECT_FALSE(ReadWholeFile(dir.File("none"), 9, bytes, error));
    EXPECT_EQ(error, "cannot open: No such file or directory");
    EXPECT_FALSE(ReadWholeFile(dir.Path(), 9, bytes, error));
    EXPECT_EQ(error, "is a directory");
    WriteFile(dir.File("empty"), "");
    ASSERT_TRUE(ReadWholeFile(dir.File("empty"), 9, bytes, error));
    EXPECT_TRUE(bytes.empty());
}
