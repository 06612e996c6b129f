#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <string>

TEST(DefaultPicture, LiesInTheResourceFolderBesideTheLibrary)
{
    wchar_t library[4096];
    ASSERT_GT(GetModuleFileNameW(g_hModule, library, 4096), 0u);
    const wchar_t* name = FU_FindFilename(library);
    ASSERT_NE(name, nullptr);
    const std::wstring folder(library, static_cast<size_t>(name - library));
    EXPECT_EQ(colorcorrect::DefaultPicturePath(), folder + L"RESOURCE/COLORNTSC.BMP");
}

TEST(DefaultPicture, TheViewerLoadsThePictureAtThatPath)
{
    CVoraDib expected;
    ASSERT_EQ(expected.LoadFromFile(colorcorrect::DefaultPicturePath().c_str(), 0, 0, 24, 0), 1)
        << "the build draws the default picture beside the library";
    CColorCorrectionViewer viewer;
    int width = 0, height = 0;
    ASSERT_EQ(viewer.GetImageSize(width, height), 1);
    EXPECT_EQ(width, expected.GetWidth());
    EXPECT_EQ(height, expected.GetHeight());
}
