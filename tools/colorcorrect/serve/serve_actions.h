#pragma once
// The drags on the scope displays and the automatic analyses of picked
// points and regions, as requests of the serve page:
//   POST /api/gesture   {"kind", "phase": "begin"|"move"|"end", "x", "y", ...}
//   POST /api/analysis  {"kind", ...points and rectangles...}
// Each runs the viewer's operation on the session's current correction and
// hands the result back to the viewer as the current correction, as a host
// does. A gesture's end, and every analysis, is one undo step.

#include <functional>
#include <memory>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace colorcorrect::cli {

class ServeSession;

// Finds the request's session, or answers the request with an error and
// returns null.
using SessionFinder =
    std::function<std::shared_ptr<ServeSession>(const httplib::Request&, httplib::Response&)>;

void RegisterActionRoutes(httplib::Server& http, SessionFinder sessionOf);

} // namespace colorcorrect::cli
