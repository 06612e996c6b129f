#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(Checksum, KnownAnswersOfCrc32IsoHdlc)
{
    EXPECT_EQ(GetCRC1615("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(GetCRC1615("", 0), 0x00000000u);
    EXPECT_EQ(GetCRC1615(nullptr, 0), 0x00000000u);
    const char* fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(GetCRC1615(fox, std::strlen(fox)), 0x414FA339u);
}

TEST(Checksum, SeesEveryByte)
{
    std::vector<unsigned char> data(456, 0);
    const DWORD base = GetCRC1615(data.data(), data.size());
    for (size_t i = 0; i < data.size(); i += 37) {
        data[i] = 1;
        EXPECT_NE(GetCRC1615(data.data(), data.size()), base) << "byte " << i;
        data[i] = 0;
    }
}
