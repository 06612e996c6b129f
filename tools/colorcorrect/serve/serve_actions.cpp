#include "serve_actions.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "serve_session.h"

namespace colorcorrect::cli {

namespace {

using nlohmann::json;

void SendError(httplib::Response& res, int status, const std::string& message)
{
    res.status = status;
    res.set_content(json{{"error", message}}.dump(), "application/json");
}

} // namespace

void RegisterActionRoutes(httplib::Server& http, SessionFinder sessionOf)
{
    http.Post(R"(/api/(gesture|analysis))", [sessionOf](const httplib::Request& req, httplib::Response& res) {
        auto session = sessionOf(req, res);
        if (!session)
            return;
        SendError(res, 501, req.matches[1].str() + " is not available in this build");
    });
}

} // namespace colorcorrect::cli
