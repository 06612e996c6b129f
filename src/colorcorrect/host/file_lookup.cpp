#include "file_lookup.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace colorcorrect {

namespace {

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
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

bool Exists(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

// The entry of `folder` that matches `name` regardless of letter case.
std::optional<std::string> FindEntry(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (!EqualIgnoringCase(candidate, name))
            continue;
        if (!best || candidate < *best)
            best = candidate;
    }
    closedir(dir);
    return best;
}

} // namespace

std::string WidePathToUtf8(const wchar_t* path)
{
    std::string out;
    if (path == nullptr)
        return out;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        uint32_t c = static_cast<uint32_t>(*p);
        if (c >= 0xD800 && c <= 0xDBFF) {
            const uint32_t next = static_cast<uint32_t>(p[1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++p;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string FindFileCaseInsensitive(const std::string& path)
{
    if (path.empty() || Exists(path))
        return path;

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }

    // `found` is the path resolved so far, spelled as on disk; an absolute
    // path starts with an empty first component.
    std::string found;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        const std::string prefix = i == 0 ? std::string() : found + "/";
        if (part.empty() || part == "." || part == "..") {
            found = prefix + part;
            continue;
        }
        if (Exists(prefix + part)) {
            found = prefix + part;
            continue;
        }
        const std::string folder = i == 0 ? std::string() : (found.empty() ? "/" : found);
        const std::optional<std::string> entry = FindEntry(folder, part);
        if (!entry)
            return path;
        found = prefix + *entry;
    }
    return Exists(found) ? found : path;
}

} // namespace colorcorrect
