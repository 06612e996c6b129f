#include "serve_request.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace colorcorrect::cli {

std::optional<long long> ParseIntegerParam(std::string_view text, long long lo, long long hi)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || value < lo || value > hi)
        return std::nullopt;
    return value;
}

std::string CookieValue(std::string_view cookies, std::string_view name)
{
    if (name.empty()) // a cookie without a name is none: "=x" names nothing
        return {};
    size_t pos = 0;
    while (pos < cookies.size()) {
        size_t end = cookies.find(';', pos);
        if (end == std::string_view::npos)
            end = cookies.size();
        std::string_view item = cookies.substr(pos, end - pos);
        const size_t start = item.find_first_not_of(' ');
        item = start == std::string_view::npos ? std::string_view() : item.substr(start);
        if (item.size() > name.size() && item.substr(0, name.size()) == name && item[name.size()] == '=')
            return std::string(item.substr(name.size() + 1));
        pos = end + 1;
    }
    return {};
}

std::string CleanName(std::string_view name)
{
    std::string clean;
    for (char c : name.substr(0, 100))
        clean.push_back((c >= 0x20 && c < 0x7F && c != '"' && c != '/' && c != '\\') ? c : '_');
    return clean;
}

bool JsonIntegerIn(const nlohmann::json& value, long long lo, long long hi)
{
    if (value.is_number_unsigned())
        return hi >= 0 && value.get<unsigned long long>() <= static_cast<unsigned long long>(hi) &&
               (lo <= 0 || value.get<unsigned long long>() >= static_cast<unsigned long long>(lo));
    return value.is_number_integer() && value.get<long long>() >= lo && value.get<long long>() <= hi;
}

std::optional<nlohmann::json> ParseJsonObject(std::string_view body)
{
    nlohmann::json value = nlohmann::json::parse(body, nullptr, false);
    if (value.is_discarded() || !value.is_object())
        return std::nullopt;
    return value;
}

bool ParseSplitBody(const nlohmann::json& body, int& x, int& y, std::string& error)
{
    int xy[2] = {0, 0};
    const char* names[2] = {"x", "y"};
    for (int i = 0; i < 2; ++i) {
        const auto it = body.find(names[i]);
        if (it == body.end() || !JsonIntegerIn(*it, -1000000, 1000000)) {
            error = std::string(names[i]) + " must be an integer in -1000000..1000000";
            return false;
        }
        xy[i] = it->get<int>();
    }
    x = xy[0];
    y = xy[1];
    return true;
}

bool ParseOptionsBody(const nlohmann::json& body, ViewOptions& options, std::string& error)
{
    ViewOptions result = options;
    const struct {
        const char* name;
        long long lo, hi;
        void (*set)(ViewOptions&, long long);
    } fields[] = {
        {"channel", 0, 4, [](ViewOptions& o, long long v) { o.channel = unsigned(v); }},
        {"intensity", 0, 255, [](ViewOptions& o, long long v) { o.intensity = int(v); }},
        {"six_vector", 0, 5, [](ViewOptions& o, long long v) { o.sixVector = unsigned(v); }},
        {"isolate_vector", 0, 15, [](ViewOptions& o, long long v) { o.isolateVector = unsigned(v); }},
        {"isolate_type", 0, 7, [](ViewOptions& o, long long v) { o.isolateType = unsigned(v); }},
    };
    for (const auto& [key, value] : body.items()) {
        const auto* field = std::find_if(std::begin(fields), std::end(fields),
                                         [&key = key](const auto& f) { return key == f.name; });
        if (field == std::end(fields)) {
            error = "unknown option \"" + CleanName(key) + "\"";
            return false;
        }
        if (!JsonIntegerIn(value, field->lo, field->hi)) {
            error = CleanName(key) + " must be an integer in " + std::to_string(field->lo) + ".." +
                    std::to_string(field->hi);
            return false;
        }
        field->set(result, value.get<long long>());
    }
    options = result;
    return true;
}

} // namespace colorcorrect::cli
