#pragma once
// Conversion between the byte strings of the system (file paths, exception
// texts; UTF-8 by convention) and the wide strings of the host's interface.
//
// Bytes that are not valid UTF-8 are not lost: each becomes one wide character
// U+DC80..U+DCFF (0xDC00 + byte), which the way back turns into the same
// byte again, so any path survives the round trip.

#include <string>
#include <string_view>

namespace colorcorrect {

// UTF-8 bytes to wide characters (one wide character per code point).
std::wstring WideFromUtf8(std::string_view bytes);
// Wide characters to UTF-8; U+DC80..U+DCFF become the single byte they stand
// for. Other values that are not code points (lone surrogates, values above
// U+10FFFF) become '?'.
std::string Utf8FromWide(std::wstring_view text);

} // namespace colorcorrect
