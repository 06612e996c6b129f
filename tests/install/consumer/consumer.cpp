// A program outside the project, built against the installed package.
#include <colorcorrect/colorcorrect.h>

#include <cstdio>

int main()
{
    tagCOLORCORRINFO cc;
    cc.Init(564);
    if (!cc.IsDefault() || !cc.IsDefault(0xF)) {
        std::puts("a fresh record is not the default");
        return 1;
    }
    if (GetCRC1615("123456789", 9) != 0xCBF43926u) {
        std::puts("checksum differs");
        return 1;
    }
    std::puts("consumer ok");
    return 0;
}
