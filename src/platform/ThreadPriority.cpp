#include "platform/ThreadPriority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace ThreadPriority {

void lowerForBackgroundWork()
{
#if defined(__linux__)
    // On Linux the nice value belongs to the thread, and new threads inherit it from the one
    // that starts them. A refusal only leaves the priority as it was.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, thread, 10);
#endif
}

} // namespace ThreadPriority
