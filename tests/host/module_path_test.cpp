#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::wstring PathOf(HMODULE module)
{
    wchar_t buffer[4096];
    const DWORD n = GetModuleFileNameW(module, buffer, 4096);
    if (n == 0)
        return L"";
    return std::wstring(buffer, n);
}

std::wstring FileName(const std::wstring& path)
{
    const wchar_t* name = FU_FindFilename(path.c_str());
    return name != nullptr ? name : L"<no separator>";
}

std::wstring Folder(const std::wstring& path)
{
    const wchar_t* name = FU_FindFilename(path.c_str());
    return name != nullptr ? path.substr(0, static_cast<size_t>(name - path.c_str())) : L"";
}

int SomethingInTheExecutable()
{
    return 1;
}

} // namespace

TEST(ModulePath, NullGivesTheRunningExecutable)
{
    const std::wstring path = PathOf(nullptr);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], L'/');
    EXPECT_EQ(FileName(path), L"colorcorrect_host_tests");
    EXPECT_TRUE(std::filesystem::is_regular_file(colorcorrect::Utf8FromWide(path)));
}

TEST(ModulePath, MainInstanceAndAddressesInsideTheExecutableGiveTheSamePath)
{
    ASSERT_NE(GetMainInstance(), nullptr);
    const std::wstring path = PathOf(nullptr);
    EXPECT_EQ(PathOf(GetMainInstance()), path);
    EXPECT_EQ(PathOf(reinterpret_cast<HMODULE>(&SomethingInTheExecutable)), path);
}

TEST(ModulePath, LibraryHandleGivesTheLibraryBesideTheTests)
{
    // Refer to the default record from here as a host would: the library's
    // handle must still name the library, not the executable.
    EXPECT_EQ(g_ccDefault.dwSize, 564u);
    ASSERT_NE(g_hModule, nullptr);
    const std::wstring path = PathOf(g_hModule);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], L'/');
    EXPECT_EQ(FileName(path).rfind(L"libcolorcorrect.so", 0), 0u) << colorcorrect::Utf8FromWide(path);
    EXPECT_EQ(Folder(path), Folder(PathOf(nullptr)));
    EXPECT_TRUE(std::filesystem::exists(colorcorrect::Utf8FromWide(path)));
}

TEST(ModulePath, LongPathsAreCutAndTerminated)
{
    const std::wstring full = PathOf(nullptr);
    ASSERT_GT(full.size(), 5u);
    wchar_t buffer[6];
    for (wchar_t& c : buffer)
        c = L'#';
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 5), 4u);
    EXPECT_EQ(std::wstring(buffer), full.substr(0, 4));
    EXPECT_EQ(buffer[5], L'#') << "nothing written past the given size";

    wchar_t one[1] = {L'#'};
    EXPECT_EQ(GetModuleFileNameW(nullptr, one, 1), 0u);
    EXPECT_EQ(one[0], L'\0');
}

TEST(ModulePath, ExactFitIsNotCut)
{
    const std::wstring full = PathOf(nullptr);
    std::wstring buffer(full.size() + 1, L'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size())),
              full.size());
    EXPECT_EQ(buffer.substr(0, full.size()), full);
    EXPECT_EQ(buffer[full.size()], L'\0');
}

TEST(ModulePath, FailuresReturnZero)
{
    wchar_t buffer[64] = {L'#'};
    EXPECT_EQ(GetModuleFileNameW(nullptr, nullptr, 64), 0u);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 0), 0u);
    EXPECT_EQ(buffer[0], L'#');
    // An address outside every loaded module.
    int onTheStack = 0;
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&onTheStack), buffer, 64), 0u);
}

TEST(FindFilename, StartsAfterTheLastSeparator)
{
    const wchar_t* path = L"/opt/host/bin/host.exe";
    EXPECT_EQ(FU_FindFilename(path), path + 14);
    const wchar_t* windows = L"C:\\Host\\RESOURCE\\COLORNTSC.BMP";
    EXPECT_EQ(FU_FindFilename(windows), windows + 17);
    const wchar_t* mixed = L"a\\b/c\\name";
    EXPECT_EQ(FU_FindFilename(mixed), mixed + 6);
}

TEST(FindFilename, TrailingSeparatorGivesAnEmptyName)
{
    const wchar_t* path = L"/opt/host/";
    const wchar_t* name = FU_FindFilename(path);
    ASSERT_EQ(name, path + 10);
    EXPECT_EQ(*name, L'\0');
}

TEST(FindFilename, NullWithoutSeparatorOrPath)
{
    EXPECT_EQ(FU_FindFilename(L"host.exe"), nullptr);
    EXPECT_EQ(FU_FindFilename(L""), nullptr);
    EXPECT_EQ(FU_FindFilename(nullptr), nullptr);
}
