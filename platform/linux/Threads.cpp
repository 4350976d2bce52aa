#include "platform/Threads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

int currentThreadId() {
    return static_cast<int>(::syscall(SYS_gettid));
}

void setCurrentThreadName(const std::string& name) {
    // Longer names are refused by the system: keep what fits.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

bool setThreadPriority(int threadId, int nice) {
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), nice) == 0;
}

}  // namespace platform
