#include "web_assets.h"

namespace colorcorrect::cli {

const WebAsset* FindWebAsset(std::string_view path)
{
    for (const WebAsset& asset : WebAssets())
        if (path == asset.path)
            return &asset;
    return nullptr;
}

const char* WebContentType(std::string_view path)
{
    const auto ends = [path](std::string_view ext) {
        return path.size() >= ext.size() && path.substr(path.size() - ext.size()) == ext;
    };
    if (ends(".html"))
        return "text/html; charset=utf-8";
    if (ends(".js") || ends(".mjs"))
        return "text/javascript; charset=utf-8";
    if (ends(".css"))
        return "text/css; charset=utf-8";
    if (ends(".svg"))
        return "image/svg+xml";
    if (ends(".png"))
        return "image/png";
    return "application/octet-stream";
}

} // namespace colorcorrect::cli
