#pragma once
// The HTTP server of `colorcorrect serve`: the page's files and the JSON
// interface the page talks to, one viewer per browser session.
//
// Every request is checked before it reaches a viewer: a request that is
// malformed, out of range or for an unknown session gets an error status
// with {"error": "..."} and changes nothing; it never touches another
// session. The interface is described in serve_server.cpp, beside the
// handlers.

#include <cstdint>
#include <memory>
#include <string>

#include <colorcorrect/formats/rgb_image.h>

#include "commands/commands.h"
#include "session_registry.h"

namespace colorcorrect::cli {

// Largest picture a session takes, from an upload or the command line: an 8K
// frame and then some. Each session keeps several copies of its pictures.
inline constexpr uint64_t kMaxServePixels = 40'000'000;

// Name of the cookie that carries the session id.
inline constexpr const char* kSessionCookie = "cc_session";

class ServeServer {
public:
    explicit ServeServer(const ServeOptions& options);
    ~ServeServer();

    ServeServer(const ServeServer&) = delete;
    ServeServer& operator=(const ServeServer&) = delete;

    // Pictures every new session starts with instead of the default picture
    // (empty images: the default).
    void SetStartPictures(formats::RgbImage source, std::string sourceName, formats::RgbImage reference,
                          std::string referenceName);

    // Binds to the options' host and port (port 0: a free one). False with a
    // message when that fails.
    bool Bind(std::string& error);
    // The bound port.
    int Port() const;
    // Serves until Stop; returns false when listening failed.
    bool Run();
    // Ends Run and every open event stream. Safe from any thread.
    void Stop();

    SessionRegistry& Sessions();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace colorcorrect::cli
