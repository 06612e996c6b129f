#pragma once
// The checks `colorcorrect serve` makes on what a request carries before any
// of it reaches a session: query parameters, the session cookie, names it
// echoes back and the JSON bodies of the split and options requests. Plain
// functions of text and JSON, with no server or session, so that they can be
// exercised (and fuzzed) alone.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace colorcorrect::cli {

// Display options of the scopes and previews.
struct ViewOptions {
    unsigned channel = 0;        // 0 all, 1 red, 2 green, 3 blue, 4 luma
    int intensity = 120;         // brightness of the scope counts, 0..255
    unsigned sixVector = 0;      // six-vector segment of the gestures, 0..5
    unsigned isolateVector = 0;  // selected match vector, 0..15
    unsigned isolateType = 0;    // isolate display, 0 (off)..7
};

// A decimal integer in lo..hi making up the whole of `text` (an optional
// leading '-', no spaces or '+'); nullopt otherwise.
std::optional<long long> ParseIntegerParam(std::string_view text, long long lo, long long hi);

// The value of cookie `name` in a Cookie header ("a=1; name=value"), or ""
// when it is not there.
std::string CookieValue(std::string_view cookies, std::string_view name);

// A file name safe to echo back: printable ASCII without quotes or slashes,
// at most 100 characters (others become '_').
std::string CleanName(std::string_view name);

// True for a JSON integer within lo..hi, signed or not (an unsigned number
// beyond the signed range is not read as a negative one).
bool JsonIntegerIn(const nlohmann::json& value, long long lo, long long hi);

// The body as a JSON object; nullopt for anything else.
std::optional<nlohmann::json> ParseJsonObject(std::string_view body);

// POST /api/split: {"x", "y"}, integers in -1000000..1000000. False with the
// message for the page when a field is missing or out of range.
bool ParseSplitBody(const nlohmann::json& body, int& x, int& y, std::string& error);

// POST /api/options: any of the ViewOptions fields by their page names
// ("channel", "intensity", "six_vector", "isolate_vector", "isolate_type"),
// each an integer within its range. `options` changes only when every field
// is right; false with the message otherwise.
bool ParseOptionsBody(const nlohmann::json& body, ViewOptions& options, std::string& error);

} // namespace colorcorrect::cli
