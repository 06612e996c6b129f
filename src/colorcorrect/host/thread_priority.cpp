#include "thread_priority.h"

#include <cerrno>
#include <cstdint>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The pseudo handle's value: not an address anything could live at.
void* const kCurrentThread = reinterpret_cast<void*>(static_cast<intptr_t>(-2));

constexpr int kNiceMin = -20;
constexpr int kNiceMax = 19;

int ReadProcessNice()
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    return errno != 0 ? 0 : nice;
}

// Read once while the library loads, before any thread has changed its own
// value through SetThreadPriority (on Linux the process id names the main
// thread).
const int s_nBaseNice = ReadProcessNice();

pid_t CurrentThreadId()
{
    return static_cast<pid_t>(syscall(SYS_gettid));
}

} // namespace

void* GetCurrentThread()
{
    return kCurrentThread;
}

BOOL SetThreadPriority(void* thread, int priority)
{
    if (thread != kCurrentThread)
        return 0;
    if (priority < THREAD_PRIORITY_LOWEST || priority > THREAD_PRIORITY_HIGHEST)
        return 0;
    // On Linux the nice value belongs to the thread, not the process, when
    // addressed by the thread's own id.
    const id_t self = static_cast<id_t>(CurrentThreadId());
    return setpriority(PRIO_PROCESS, self, colorcorrect::NiceForPriority(priority)) == 0 ? 1 : 0;
}

namespace colorcorrect {

int NiceForPriority(int priority)
{
    const int nice = s_nBaseNice - priority * NICE_STEP;
    return nice < kNiceMin ? kNiceMin : nice > kNiceMax ? kNiceMax : nice;
}

} // namespace colorcorrect
