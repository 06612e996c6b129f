#pragma once
// The files of the serve page, compiled into the program at build time
// (embed_assets.cmake makes their data from tools/colorcorrect/serve/web/).

#include <cstddef>
#include <span>
#include <string_view>

namespace colorcorrect::cli {

struct WebAsset {
    const char* path;          // relative to the page's folder, e.g. "app.js"
    const unsigned char* data; // the file's bytes
    size_t size;               // number of bytes
};

// Every file of the page.
std::span<const WebAsset> WebAssets();

// The file with this relative path, or null.
const WebAsset* FindWebAsset(std::string_view path);

// The Content-Type for a file name, by its extension ("text/html;
// charset=utf-8", "text/javascript; charset=utf-8", ...;
// "application/octet-stream" for unknown ones).
const char* WebContentType(std::string_view path);

} // namespace colorcorrect::cli
