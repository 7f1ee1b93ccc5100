#include "base/BackgroundPriority.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace BackgroundPriority {

void lowerCurrentThread() {
#ifdef Q_OS_WIN
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#elif defined(__linux__)
    // On Linux a thread has a nice value of its own, named by its thread id.
    constexpr int gentler = 5;
    const auto thread = id_t(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, thread, getpriority(PRIO_PROCESS, thread) + gentler);
#endif
}

} // namespace BackgroundPriority
