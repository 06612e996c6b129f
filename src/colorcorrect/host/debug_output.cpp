#include "debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>

BOOL IsDebugOn()
{
    const char* v = std::getenv("COLORCORRECT_DEBUG");
    return v != nullptr && std::strcmp(v, "1") == 0 ? 1 : 0;
}

namespace {

void AppendUtf8(std::string& out, wchar_t wc)
{
    const uint32_t c = static_cast<uint32_t>(wc);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

void wPrintf(int /*level*/, int /*flags*/, const wchar_t* format, ...)
{
    if (format == nullptr)
        return;
    wchar_t buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vswprintf(buffer, sizeof buffer / sizeof buffer[0], format, args);
    va_end(args);
    if (n < 0)
        return; // longer than a debug line may be, or a bad format
    std::string text;
    for (int i = 0; i < n; ++i)
        AppendUtf8(text, buffer[i]);
    static std::mutex s_lock; // keeps concurrent lines whole
    std::lock_guard<std::mutex> guard(s_lock);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
