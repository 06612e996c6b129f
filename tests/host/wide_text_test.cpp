#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <string>

using colorcorrect::Utf8FromWide;
using colorcorrect::WideFromUtf8;

TEST(WideText, AsciiAndMultiByteCharacters)
{
    EXPECT_EQ(WideFromUtf8("/usr/lib/a.so"), L"/usr/lib/a.so");
    // é (2 bytes), € (3 bytes), U+1F600 (4 bytes)
    EXPECT_EQ(WideFromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
              std::wstring({wchar_t(0xE9), wchar_t(0x20AC), wchar_t(0x1F600)}));
    EXPECT_EQ(Utf8FromWide(std::wstring({wchar_t(0xE9), wchar_t(0x20AC), wchar_t(0x1F600)})),
              "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(WideFromUtf8(""), L"");
}

TEST(WideText, InvalidBytesBecomeEscapesAndComeBack)
{
    // A lone continuation byte, a cut sequence, an overlong '/', an encoded
    // surrogate and a byte that never starts a character.
    const std::string bytes = "a\x80" "b\xE2\x82" "c\xC0\xAF" "d\xED\xA0\x80" "e\xFF";
    const std::wstring wide = WideFromUtf8(bytes);
    EXPECT_EQ(wide, std::wstring({L'a', wchar_t(0xDC80), L'b', wchar_t(0xDCE2), wchar_t(0xDC82),
                                  L'c', wchar_t(0xDCC0), wchar_t(0xDCAF), L'd', wchar_t(0xDCED),
                                  wchar_t(0xDCA0), wchar_t(0xDC80), L'e', wchar_t(0xDCFF)}));
    EXPECT_EQ(Utf8FromWide(wide), bytes);
}

TEST(WideText, ValuesThatAreNoCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8FromWide(std::wstring({wchar_t(0xD800), L'x', wchar_t(0xDC10),
                                         wchar_t(0x110000)})),
              "?x??");
}
