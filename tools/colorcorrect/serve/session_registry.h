#pragma once
// The sessions of `colorcorrect serve`, found by the id the page carries in
// its cookie. The number of sessions is limited, and sessions nobody used
// for a while are dropped, so a forgotten browser tab does not keep a
// viewer and its worker forever. A session whose page is gone (no event
// stream open, no request) goes sooner, so that closed browsers do not lock
// new visitors out.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "serve_session.h"

namespace colorcorrect::cli {

class SessionRegistry {
public:
    // How long a session without an open event stream is kept after its last request.
    static constexpr std::chrono::seconds kPageGoneLimit{90};

    SessionRegistry(size_t maxSessions, std::chrono::seconds idleLimit,
                    std::chrono::seconds pageGoneLimit = kPageGoneLimit);
    ~SessionRegistry();

    // A new started session, or null with a message when the limit is reached
    // (after dropping idle sessions) or the session cannot start. When full,
    // `retryAfter` (if given) is set to when a session will have expired at
    // the latest, as far as can be told now (at least 1 s).
    std::shared_ptr<ServeSession> Create(std::string& error, std::chrono::seconds* retryAfter = nullptr);
    // The session with this id, marked as used; null when there is none.
    // Sessions idle for too long are dropped first.
    std::shared_ptr<ServeSession> Find(const std::string& id);
    // Drops sessions unused for longer than the idle limit, or than the
    // page-gone limit when they have no event stream open; returns how many.
    size_t Expire();
    // Drops every session and wakes their event streams (the server stops).
    void CloseAll();
    size_t Count() const;

private:
    static std::string NewId();
    // When `session` expires if nobody uses it; with m_mutex held.
    ServeSession::Clock::time_point ExpiryOf(ServeSession& session) const;

    const size_t m_maxSessions;
    const std::chrono::seconds m_idleLimit;
    const std::chrono::seconds m_pageGoneLimit;
    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<ServeSession>> m_sessions;
};

} // namespace colorcorrect::cli
