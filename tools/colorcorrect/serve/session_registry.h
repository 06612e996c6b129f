#pragma once
// The sessions of `colorcorrect serve`, found by the id the page carries in
// its cookie. The number of sessions is limited, and sessions nobody used
// for a while are dropped, so a forgotten browser tab does not keep a
// viewer and its worker forever.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "serve_session.h"

namespace colorcorrect::cli {

class SessionRegistry {
public:
    SessionRegistry(size_t maxSessions, std::chrono::seconds idleLimit);
    ~SessionRegistry();

    // A new started session, or null with a message when the limit is reached
    // (after dropping idle sessions) or the session cannot start.
    std::shared_ptr<ServeSession> Create(std::string& error);
    // The session with this id, marked as used; null when there is none.
    // Sessions idle for too long are dropped first.
    std::shared_ptr<ServeSession> Find(const std::string& id);
    // Drops sessions unused for longer than the idle limit; returns how many.
    size_t Expire();
    // Drops every session and wakes their event streams (the server stops).
    void CloseAll();
    size_t Count() const;

private:
    static std::string NewId();

    const size_t m_maxSessions;
    const std::chrono::seconds m_idleLimit;
    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<ServeSession>> m_sessions;
};

} // namespace colorcorrect::cli
