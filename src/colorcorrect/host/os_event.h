#pragma once
// An event that threads wait on, for waking a worker and for handshakes
// between threads. All operations may be called from any thread at the same
// time.

#include <condition_variable>
#include <mutex>

#include "wait_codes.h"
#include "win_types.h"

class COSEvent {
public:
    // security: ignored (kept for the host's signature; pass null).
    // manualReset: nonzero = the event stays set until Reset and a Set
    //   releases every waiter; 0 = automatic reset: each successful Wait
    //   consumes the signal, so one Set releases exactly one wait.
    // initialState: nonzero = the event starts set.
    // name: ignored; events are private to the process (pass null).
    COSEvent(void* security, BOOL manualReset, BOOL initialState, const wchar_t* name);
    // No thread may still be waiting on the event when it is destroyed.
    ~COSEvent() = default;

    COSEvent(const COSEvent&) = delete;
    COSEvent& operator=(const COSEvent&) = delete;

    // Signals the event. Setting an event that is already set changes nothing
    // (signals do not count up).
    void Set();
    // Clears the event.
    void Reset();
    // Waits until the event is set or `timeoutMs` milliseconds have passed on
    // a monotonic clock (changes of the wall clock do not matter).
    // colorcorrect::INFINITE (0xFFFFFFFF) waits without limit; 0 only tests.
    // Returns colorcorrect::WAIT_OBJECT_0 (0) when the event was set (for an
    // automatic-reset event the signal is then consumed) and
    // colorcorrect::WAIT_TIMEOUT (0x102) when the time-out passed first.
    DWORD Wait(DWORD timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    const bool m_bManualReset;
    bool m_bSignalled; // guarded by m_mutex
};
