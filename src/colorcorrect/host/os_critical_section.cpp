#include "os_critical_section.h"

COSCriticalSection::COSCriticalSection(int spin) : m_nSpin(spin < 0 ? 0 : spin) {}

void COSCriticalSection::Enter(const char* tag)
{
    const std::thread::id self = std::this_thread::get_id();
    // Only this thread can store its own id, so reading it back proves
    // ownership; any other value means we do not hold the lock.
    if (m_owner.load(std::memory_order_relaxed) == self) {
        ++m_nDepth;
        return;
    }
    bool taken = false;
    for (int i = 0; i < m_nSpin && !taken; ++i)
        taken = m_mutex.try_lock();
    if (!taken)
        m_mutex.lock();
    m_owner.store(self, std::memory_order_relaxed);
    m_nDepth = 1;
    m_pTag.store(tag, std::memory_order_release);
}

void COSCriticalSection::Leave()
{
    if (m_owner.load(std::memory_order_relaxed) != std::this_thread::get_id())
        return;
    if (--m_nDepth != 0)
        return;
    m_pTag.store(nullptr, std::memory_order_release);
    m_owner.store(std::thread::id(), std::memory_order_relaxed);
    m_mutex.unlock();
}

const char* COSCriticalSection::GetAddress() const
{
    return m_pTag.load(std::memory_order_acquire);
}

#if defined(__cpp_lib_source_location)
const char* GetAddress(const std::source_location& where)
{
    return where.function_name();
}
#else
const char* GetAddress(const char* function)
{
    return function;
}
#endif
