// The checks `colorcorrect serve` makes on request input, on any text: an
// integer parameter is taken exactly when it is a whole decimal number in its
// range (compared with a plain reading of the digits); a cookie's value is
// what follows its name; echoed names are clean; a split or options body is
// taken only with every field in range and, refused, changes nothing.

#include <cctype>

#include "serve_request.h"
#include "support/fuzz_support.h"

using namespace colorcorrect::cli;

namespace {

// The straightforward reading: '-'? digits, nothing else, within lo..hi.
std::optional<long long> PlainInteger(std::string_view text, long long lo, long long hi)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty())
        return std::nullopt;
    __int128 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > (__int128{1} << 64))
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value < lo || value > hi)
        return std::nullopt;
    return static_cast<long long>(value);
}

void CheckParam(FuzzedDataProvider& in)
{
    const long long a = in.ConsumeBool() ? in.ConsumeIntegralInRange<long long>(-70000, 70000) : in.ConsumeIntegral<long long>();
    const long long b = in.ConsumeBool() ? in.ConsumeIntegralInRange<long long>(-70000, 70000) : in.ConsumeIntegral<long long>();
    const std::string text = in.ConsumeRandomLengthString(32);
    const long long lo = std::min(a, b), hi = std::max(a, b);
    FUZZ_CHECK(ParseIntegerParam(text, lo, hi) == PlainInteger(text, lo, hi), "\"%s\" in %lld..%lld", text.c_str(), lo, hi);
}

void CheckCookie(FuzzedDataProvider& in)
{
    const std::string name = in.ConsumeBool() ? std::string("cc_session") : in.ConsumeRandomLengthString(12);
    const std::string header = in.ConsumeRandomLengthString(200);
    const std::string value = CookieValue(header, name);
    if (value.empty())
        return;
    // name=value stands at the start of an item (after '; ' and spaces).
    const std::string item = name + "=" + value;
    const size_t at = header.find(item);
    FUZZ_CHECK(!name.empty() && at != std::string::npos && value.find(';') == std::string::npos);
}

void CheckName(FuzzedDataProvider& in)
{
    const std::string name = in.ConsumeRandomLengthString(300);
    const std::string clean = CleanName(name);
    FUZZ_CHECK(clean.size() == std::min<size_t>(name.size(), 100));
    for (size_t i = 0; i < clean.size(); ++i) {
        const char c = clean[i];
        FUZZ_CHECK(c >= 0x20 && c < 0x7F && c != '"' && c != '/' && c != '\\');
        FUZZ_CHECK(c == name[i] || c == '_');
    }
}

// The number as written, whatever its JSON type, within lo..hi.
bool InRange(const nlohmann::json& v, long long lo, long long hi)
{
    if (v.is_number_unsigned())
        return v.get<unsigned long long>() <= 1000000 && static_cast<long long>(v.get<unsigned long long>()) >= lo &&
               static_cast<long long>(v.get<unsigned long long>()) <= hi;
    return v.is_number_integer() && v.get<long long>() >= lo && v.get<long long>() <= hi;
}

void CheckBodies(FuzzedDataProvider& in)
{
    const std::string text = in.ConsumeRandomLengthString(400);
    const auto body = ParseJsonObject(text);
    if (!body)
        return;
    FUZZ_CHECK(body->is_object());

    int x = 7, y = 9;
    std::string error;
    const bool split = ParseSplitBody(*body, x, y, error);
    const bool splitRight = body->contains("x") && body->contains("y") && InRange((*body)["x"], -1000000, 1000000) &&
                            InRange((*body)["y"], -1000000, 1000000);
    FUZZ_CHECK(split == splitRight && (split ? x == (*body)["x"].get<long long>() && y == (*body)["y"].get<long long>()
                                             : x == 7 && y == 9 && !error.empty()));

    ViewOptions options;
    options.intensity = 77;
    const ViewOptions before = options;
    error.clear();
    const bool taken = ParseOptionsBody(*body, options, error);
    FUZZ_CHECK(taken || (!error.empty() && std::memcmp(&options, &before, sizeof options) == 0));
    if (taken)
        FUZZ_CHECK(options.channel <= 4 && options.intensity >= 0 && options.intensity <= 255 && options.sixVector <= 5 &&
                   options.isolateVector <= 15 && options.isolateType <= 7);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: CheckParam(in); break;
    case 1: CheckCookie(in); break;
    case 2: CheckName(in); break;
    default: CheckBodies(in); break;
    }
    return 0;
}
