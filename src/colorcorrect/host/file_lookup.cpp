#include "file_lookup.h"

#include <dirent.h>
#include <sys/stat.h>

#include <optional>
#include <vector>

namespace colorcorrect {

namespace {

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
