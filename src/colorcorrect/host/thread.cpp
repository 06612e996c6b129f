#include "thread.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <string>

#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#define COLORCORRECT_HAVE_FORCED_UNWIND 1
#endif

#include "exception_analysis.h"

// The block shared by the object and its thread; it lives until both have let
// go of it.
struct CThread::Shared {
    unsigned long (*start)(void*) = nullptr;
    void* param = nullptr;
    pthread_t handle{};

    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;     // the start routine has returned
    bool abandoned = false; // Terminate gave up on the running thread
    unsigned long exitCode = 0;

    // Called by the thread as the last thing it does with the block's state.
    void Finish(unsigned long code)
    {
        std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        if (!abandoned)
            exitCode = code;
        changed.notify_all();
    }
};

namespace {

// The longest thread name Linux keeps, without the terminating zero.
constexpr std::size_t kMaxNameBytes = 15;

// Cuts a name to what the platform keeps, never inside a UTF-8 character.
std::string CutName(const char* name)
{
    std::size_t length = std::strlen(name);
    if (length <= kMaxNameBytes)
        return std::string(name, length);
    length = kMaxNameBytes;
    // Step back over continuation bytes to the start of the character that
    // does not fit.
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        --length;
    return std::string(name, length);
}

} // namespace

void* CThread::Run(void* handed)
{
    // Take over the reference the creator handed in, so the block lives as
    // long as this thread needs it whatever happens to the object.
    auto* cell = static_cast<std::shared_ptr<Shared>*>(handed);
    std::shared_ptr<Shared> shared = std::move(*cell);
    delete cell;

    unsigned long code = colorcorrect::THREAD_EXIT_UNHANDLED_EXCEPTION;
    try {
        code = shared->start(shared->param);
    }
#ifdef COLORCORRECT_HAVE_FORCED_UNWIND
    catch (abi::__forced_unwind&) {
        // The routine called pthread_exit: the unwinding must go on.
        shared->Finish(code);
        throw;
    }
#endif
    catch (...) {
        AnalyseException(std::current_exception(), 1);
    }
    shared->Finish(code);
    return nullptr;
}

CThread::CThread(void* /*security*/, unsigned int stackSize, unsigned long (*start)(void*),
                 void* param, DWORD flags)
{
    if (start == nullptr || flags != 0)
        return;
    auto shared = std::make_shared<Shared>();
    shared->start = start;
    shared->param = param;

    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return;
    bool ok = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED) == 0;
    std::size_t defaultSize = 0;
    if (ok && stackSize != 0 && pthread_attr_getstacksize(&attr, &defaultSize) == 0 &&
        stackSize > defaultSize)
        ok = pthread_attr_setstacksize(&attr, stackSize) == 0;

    if (ok) {
        // The thread's own reference travels through a heap cell because
        // pthread hands over a single pointer.
        auto* handed = new std::shared_ptr<Shared>(shared);
        // The handle is written before anyone can read it: Label reads it
        // under the mutex, and the thread does not touch it.
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (pthread_create(&shared->handle, &attr, Run, handed) == 0) {
            m_shared = std::move(shared);
        } else {
            delete handed;
        }
    }
    pthread_attr_destroy(&attr);
}

CThread::~CThread() = default;

BOOL CThread::IsCreated() const
{
    return m_shared ? 1 : 0;
}

DWORD CThread::Wait(DWORD timeoutMs)
{
    if (!m_shared)
        return colorcorrect::WAIT_FAILED;
    Shared& s = *m_shared;
    std::unique_lock<std::mutex> lock(s.mutex);
    const auto done = [&s] { return s.ended || s.abandoned; };
    if (timeoutMs == colorcorrect::INFINITE) {
        s.changed.wait(lock, done);
        return colorcorrect::WAIT_OBJECT_0;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    return s.changed.wait_until(lock, deadline, done) ? colorcorrect::WAIT_OBJECT_0
                                                      : colorcorrect::WAIT_TIMEOUT;
}

BOOL CThread::GetExitCode(unsigned long& code) const
{
    if (!m_shared)
        return 0;
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (!m_shared->ended && !m_shared->abandoned)
        return 0;
    code = m_shared->exitCode;
    return 1;
}

BOOL CThread::Terminate(DWORD exitCode)
{
    if (!m_shared)
        return 0;
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (!m_shared->ended && !m_shared->abandoned) {
        m_shared->abandoned = true;
        m_shared->exitCode = exitCode;
        m_shared->changed.notify_all();
    }
    return 1;
}

void CThread::Label(const char* name)
{
    if (!m_shared || name == nullptr)
        return;
    const std::string cut = CutName(name);
    // While the thread has not ended it cannot get past Finish, which needs
    // this lock, so the handle still names a live thread.
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (!m_shared->ended)
        pthread_setname_np(m_shared->handle, cut.c_str());
}
