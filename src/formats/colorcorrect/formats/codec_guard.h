#pragma once
// The picture codecs promise their callers not to throw; this turns what
// their work may throw into the message the caller shows.

#include <new>
#include <string>

namespace colorcorrect::formats {

enum class CodecStep { Reading, Writing };

// Runs `work` (returning bool) and answers false with `error` set when it
// throws: out of memory, or an unexpected failure naming `what` ("PNG").
template <typename Work>
bool GuardCodec(std::string& error, CodecStep step, const char* what, Work&& work) noexcept
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        error = step == CodecStep::Reading ? "not enough memory for the picture"
                                           : "not enough memory to encode the picture";
    } catch (...) {
        try {
            error = std::string("unexpected failure while ") +
                    (step == CodecStep::Reading ? "reading " : "writing ") + what;
        } catch (...) {
        }
    }
    return false;
}

} // namespace colorcorrect::formats
