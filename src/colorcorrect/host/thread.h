#pragma once
// The host's thread object: runs a start routine on a new thread and lets the
// creator wait for it, read its exit code and give up on it.
//
// A thread is never killed. Killing a thread midway leaves the locks it holds
// taken for ever and the data it was changing half-written, so Terminate and
// the destructor abandon the thread instead: it keeps running and ends on its
// own when its start routine returns. Everything the running thread needs is
// kept in a block it shares with the object, so the object may be deleted at
// any time, also right after Terminate, while the thread still runs; the
// thread touches nothing of the deleted object. The start routine and its
// parameter, however, are the creator's: they must stay usable until the
// routine returns, abandoned or not.
//
// The operations may be called from several threads at the same time.

#include <memory>

#include "wait_codes.h"
#include "win_types.h"

namespace colorcorrect {

// Exit code of a thread whose start routine let an exception escape. The
// exception is handed to AnalyseException and the thread ends normally.
inline constexpr unsigned long THREAD_EXIT_UNHANDLED_EXCEPTION = 0xFFFFFFFFul;

} // namespace colorcorrect

class CThread {
public:
    // Starts start(param) on a new thread at once.
    // security: ignored (pass null).
    // stackSize: bytes of stack the thread needs at least; 0 or a value below
    //   the system's default thread stack gives the default.
    // start: the routine; its result becomes the exit code. Must not be null.
    // param: handed to start unchanged.
    // flags: must be 0 (no creation options are offered).
    // IsCreated() tells whether the thread could be started.
    CThread(void* security, unsigned int stackSize, unsigned long (*start)(void*), void* param,
            DWORD flags);
    // Never blocks and never ends the process: a thread that still runs is
    // abandoned as by Terminate.
    ~CThread();

    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // TRUE when the thread was started; FALSE when the system refused, start
    // was null or flags were not 0 (the other operations then fail).
    BOOL IsCreated() const;
    // Waits until the thread has ended (its start routine has returned) or
    // has been abandoned by Terminate, for at most `timeoutMs` milliseconds on
    // a monotonic clock; colorcorrect::INFINITE (0xFFFFFFFF) waits without
    // limit, 0 only tests. Returns colorcorrect::WAIT_OBJECT_0 (0) when ended
    // or abandoned, colorcorrect::WAIT_TIMEOUT (0x102) on time-out and
    // colorcorrect::WAIT_FAILED when the thread was never created.
    DWORD Wait(DWORD timeoutMs);
    // TRUE once the thread has ended or been abandoned: code receives the
    // start routine's result, or the code given to Terminate when it was
    // abandoned. FALSE while the thread runs or when it was never created;
    // code is then unchanged.
    BOOL GetExitCode(unsigned long& code) const;
    // Gives up on a running thread without stopping it: from now on the object
    // behaves as if the thread had ended with `exitCode` (Wait returns 0,
    // GetExitCode gives exitCode) and may be deleted; the thread goes on and
    // ends on its own. A thread that had already ended keeps its own exit
    // code. Returns TRUE when the thread had ended or is now abandoned (also
    // on a second call), FALSE when it was never created.
    BOOL Terminate(DWORD exitCode);
    // Names the thread for debuggers and system tools as far as the platform
    // allows: on Linux the first 15 bytes (cut before an incomplete UTF-8
    // character). Null, or a thread that was never created or has ended, is
    // ignored.
    void Label(const char* name);

private:
    struct Shared;
    // The new thread's entry: runs the start routine and marks the end.
    static void* Run(void* handed);

    std::shared_ptr<Shared> m_shared; // null when the thread was never created
};
