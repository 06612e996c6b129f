#include "os_event.h"

#include <chrono>

COSEvent::COSEvent(void* /*security*/, BOOL manualReset, BOOL initialState,
                   const wchar_t* /*name*/)
    : m_bManualReset(manualReset != 0), m_bSignalled(initialState != 0)
{
}

void COSEvent::Set()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bSignalled)
        return;
    m_bSignalled = true;
    // Notifying while holding the lock: a waiter that wakes and returns may
    // destroy the event at once, so the event must not be touched afterwards.
    if (m_bManualReset)
        m_cv.notify_all();
    else
        m_cv.notify_one(); // whoever wakes consumes it; a consumer is never missing
}

void COSEvent::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSignalled = false;
}

DWORD COSEvent::Wait(DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto isSet = [this] { return m_bSignalled; };
    bool signalled;
    if (timeoutMs == colorcorrect::INFINITE) {
        m_cv.wait(lock, isSet);
        signalled = true;
    } else {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        signalled = m_cv.wait_until(lock, deadline, isSet);
    }
    if (!signalled)
        return colorcorrect::WAIT_TIMEOUT;
    if (!m_bManualReset)
        m_bSignalled = false;
    return colorcorrect::WAIT_OBJECT_0;
}
