#include "wide_text.h"

#include <cstdint>

namespace colorcorrect {

namespace {

constexpr uint32_t kEscapeBase = 0xDC00;

bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

void AppendUtf8(std::string& out, uint32_t c)
{
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
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::wstring WideFromUtf8(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b0 = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        uint32_t c = 0;
        uint32_t minimum = 0;
        if (b0 < 0x80) {
            length = 1;
            c = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            c = b0 & 0x1F;
            minimum = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            c = b0 & 0x0F;
            minimum = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            c = b0 & 0x07;
            minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char b = static_cast<unsigned char>(bytes[i + k]);
            valid = IsContinuation(b);
            c = (c << 6) | (b & 0x3F);
        }
        // Overlong forms, encoded surrogates and values above U+10FFFF are
        // not UTF-8 either.
        if (valid && (c < minimum || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF))
            valid = false;
        if (valid) {
            out += static_cast<wchar_t>(c);
            i += length;
        } else {
            out += static_cast<wchar_t>(kEscapeBase + b0);
            ++i;
        }
    }
    return out;
}

std::string Utf8FromWide(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const wchar_t wc : text) {
        const uint32_t c = static_cast<uint32_t>(wc);
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF)
            out += static_cast<char>(c - kEscapeBase);
        else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            out += '?';
        else
            AppendUtf8(out, c);
    }
    return out;
}

} // namespace colorcorrect
