#pragma once
// The drags on the scope displays and the automatic analyses of picked
// points and regions, as requests of the serve page:
//   POST /api/gesture   {"kind", "phase": "begin"|"move"|"end", "x", "y", ...}
//   POST /api/analysis  {"kind", ...points and rectangles...}
// Each runs the viewer's operation on the session's current correction and
// hands the result back to the viewer as the current correction, as a host
// does. A gesture's end, and every analysis, is one undo step. Also the JSON
// answers that every request of the server gives.

#include <string>

#include <nlohmann/json_fwd.hpp>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace colorcorrect::cli {

class ServeSession;

// A JSON answer: `body` with status 200, not to be kept in a cache.
void SendJson(httplib::Response& res, const nlohmann::json& body);
// A JSON error answer, {"error": message}, with `status`.
void SendError(httplib::Response& res, int status, const std::string& message);

// POST /api/gesture and POST /api/analysis for the request's session: the
// body is a JSON object; the answer is the session's state (and what the
// action adds), or an error with its status.
void HandleGesture(ServeSession& session, const httplib::Request& req, httplib::Response& res);
void HandleAnalysis(ServeSession& session, const httplib::Request& req, httplib::Response& res);

} // namespace colorcorrect::cli
