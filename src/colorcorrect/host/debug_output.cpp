#include "debug_output.h"

#include "tick_count.h"
#include "wide_text.h"

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
    const std::string text = colorcorrect::Utf8FromWide(std::wstring_view(buffer, static_cast<size_t>(n)));
    static std::mutex s_lock; // keeps concurrent lines whole
    std::lock_guard<std::mutex> guard(s_lock);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

namespace colorcorrect {

DebugTimer::DebugTimer() : m_start(GetTickCount()) {}

void DebugTimer::Report(int level, int flags, const wchar_t* format) const
{
    if (IsDebugOn())
        wPrintf(level, flags, format, static_cast<unsigned>(GetTickCount() - m_start));
}

} // namespace colorcorrect
