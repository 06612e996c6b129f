#include "timing_line.h"

#include <cctype>

namespace colorcorrect::test {

namespace {

// Control characters shown as escapes, so a failure shows what was printed.
std::string Visible(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

} // namespace

::testing::AssertionResult IsTimingLine(const std::string& text, const std::string& prefix,
                                        const std::string& suffix)
{
    const size_t fixed = prefix.size() + suffix.size();
    bool ok = text.size() > fixed && text.compare(0, prefix.size(), prefix) == 0 &&
              text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
    for (size_t i = prefix.size(); ok && i < text.size() - suffix.size(); ++i)
        ok = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << Visible(text) << "\" is not \""
                                         << Visible(prefix) << "<ms>" << Visible(suffix) << "\"";
}

} // namespace colorcorrect::test
