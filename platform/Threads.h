// The running thread as the operating system sees it: its id, its name and its priority.
#pragma once

#include <string>

namespace platform {

// The kernel's id of the calling thread (what `top -H` shows), for setThreadPriority.
int currentThreadId();
// Names the calling thread for debuggers and `top -H`; the system keeps 15 bytes.
void setCurrentThreadName(const std::string& name);
// Sets a thread's nice value (-20 highest .. 19 lowest); false when the system refuses
// (raising the priority needs the right to).
bool setThreadPriority(int threadId, int nice);

}  // namespace platform
