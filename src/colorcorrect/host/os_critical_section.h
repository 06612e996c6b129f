#pragma once
// The host's lock: a re-entrant mutual-exclusion lock that remembers a tag
// from its owner for diagnostics, plus an RAII guard for it.

#include <atomic>
#include <mutex>
#include <thread>
#include <version>
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

class COSCriticalSection {
public:
    // spin: how many times Enter tries to take a busy lock before it blocks
    //   (0 = block at once; a negative value counts as 0).
    explicit COSCriticalSection(int spin);
    // The lock must be free when it is destroyed.
    ~COSCriticalSection() = default;

    COSCriticalSection(const COSCriticalSection&) = delete;
    COSCriticalSection& operator=(const COSCriticalSection&) = delete;

    // Takes the lock, blocking while another thread owns it. The owning
    // thread may Enter again; it must then Leave as often as it entered.
    // tag: any text with static lifetime naming the place that enters (it is
    //   not copied); it is kept while the outermost Enter holds the lock and
    //   may be null.
    void Enter(const char* tag = nullptr);
    // Undoes one Enter of the calling thread; the lock is free again after the
    // Leave matching the outermost Enter. A Leave from a thread that does not
    // own the lock is ignored (it must not release another thread's lock).
    void Leave();
    // The tag the current owner entered with; null when the lock is free or
    // the owner gave none. May be called from any thread (for diagnostics;
    // the answer may be stale by the time it is read).
    const char* GetAddress() const;

private:
    const int m_nSpin;
    std::mutex m_mutex;
    std::atomic<std::thread::id> m_owner; // default id while free
    unsigned long m_nDepth = 0;           // touched only by the owner
    std::atomic<const char*> m_pTag{nullptr};
};

// A tag naming the calling function, for COSCriticalSection::Enter: called
// without arguments it gives the name of the function it is written in (its
// full signature where the standard library has std::source_location, else the
// bare name: clang 14 with this platform's standard library lacks it). The
// text has static lifetime. Call it without arguments only.
#if defined(__cpp_lib_source_location)
const char* GetAddress(const std::source_location& where = std::source_location::current());
#else
const char* GetAddress(const char* function = __builtin_FUNCTION());
#endif

namespace colorcorrect {

// Holds a COSCriticalSection for the lifetime of the guard: Enter in the
// constructor, Leave in the destructor. Not copyable.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(COSCriticalSection& section, const char* tag = nullptr)
        : m_section(section)
    {
        m_section.Enter(tag);
    }
    ~CriticalSectionLock() { m_section.Leave(); }

    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    COSCriticalSection& m_section;
};

} // namespace colorcorrect
