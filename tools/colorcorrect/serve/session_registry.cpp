#include "session_registry.h"

#include <algorithm>
#include <random>
#include <vector>

namespace colorcorrect::cli {

SessionRegistry::SessionRegistry(size_t maxSessions, std::chrono::seconds idleLimit,
                                 std::chrono::seconds pageGoneLimit)
    : m_maxSessions(maxSessions), m_idleLimit(idleLimit), m_pageGoneLimit(std::min(pageGoneLimit, idleLimit))
{
}

ServeSession::Clock::time_point SessionRegistry::ExpiryOf(ServeSession& session) const
{
    return session.LastUsed() + (session.Streams() > 0 ? m_idleLimit : m_pageGoneLimit);
}

SessionRegistry::~SessionRegistry()
{
    CloseAll();
}

std::string SessionRegistry::NewId()
{
    // Unguessable enough that one page cannot reach another's session.
    static std::mutex mutex;
    static std::random_device device;
    std::lock_guard lock(mutex);
    static const char digits[] = "0123456789abcdef";
    std::string id;
    for (int i = 0; i < 4; ++i) {
        uint32_t word = device();
        for (int k = 0; k < 8; ++k, word >>= 4)
            id.push_back(digits[word & 15]);
    }
    return id;
}

std::shared_ptr<ServeSession> SessionRegistry::Create(std::string& error, std::chrono::seconds* retryAfter)
{
    Expire();
    {
        std::lock_guard lock(m_mutex);
        if (m_sessions.size() >= m_maxSessions) {
            // An open page keeps its session; one closed now frees it after
            // the page-gone limit.
            auto soonest = ServeSession::Clock::now() + m_pageGoneLimit;
            for (const auto& [id, session] : m_sessions)
                soonest = std::min(soonest, ExpiryOf(*session));
            const auto wait = std::chrono::ceil<std::chrono::seconds>(soonest - ServeSession::Clock::now());
            if (retryAfter != nullptr)
                *retryAfter = std::max(wait, std::chrono::seconds(1));
            error = "too many sessions are open (at most " + std::to_string(m_maxSessions) +
                    "); close another page or try again in " + std::to_string(std::max<long long>(1, wait.count())) +
                    " s";
            return nullptr;
        }
    }
    auto session = std::make_shared<ServeSession>(NewId());
    if (!session->Start(error))
        return nullptr;
    std::lock_guard lock(m_mutex);
    if (m_sessions.size() >= m_maxSessions) {
        error = "too many sessions are open (at most " + std::to_string(m_maxSessions) + ")";
        return nullptr;
    }
    m_sessions[session->Id()] = session;
    return session;
}

std::shared_ptr<ServeSession> SessionRegistry::Find(const std::string& id)
{
    Expire();
    std::shared_ptr<ServeSession> session;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_sessions.find(id);
        if (it == m_sessions.end())
            return nullptr;
        session = it->second;
    }
    session->Touch();
    return session;
}

size_t SessionRegistry::Expire()
{
    std::vector<std::shared_ptr<ServeSession>> dropped;
    {
        std::lock_guard lock(m_mutex);
        const auto now = ServeSession::Clock::now();
        for (auto it = m_sessions.begin(); it != m_sessions.end();) {
            if (now > ExpiryOf(*it->second)) {
                dropped.push_back(it->second);
                it = m_sessions.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Waking the streams first lets them let go of the session; the viewer
    // stops when the last holder does, outside the registry's lock.
    for (auto& session : dropped)
        session->Previews().Close();
    return dropped.size();
}

void SessionRegistry::CloseAll()
{
    std::map<std::string, std::shared_ptr<ServeSession>> all;
    {
        std::lock_guard lock(m_mutex);
        all.swap(m_sessions);
    }
    for (auto& [id, session] : all)
        session->Previews().Close();
}

size_t SessionRegistry::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_sessions.size();
}

} // namespace colorcorrect::cli
