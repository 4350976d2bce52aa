// The running process and its descendants as the operating system sees them.
#pragma once

#include <cstdint>

namespace platform {

int currentProcessId();
// Whether the process runs with the administrator's rights (effective user root).
bool runsAsRoot();
// The real user id (the owner of the files the process makes).
unsigned currentUserId();
// Seconds since the process started (from the kernel's start time of the process); -1 when
// the system does not tell.
double secondsSinceProcessStart();
// Resident memory in kB of a process (VmRSS); 0 when it is gone.
int64_t residentKb(int pid);
// The resident memory of all descendants of a process together (children, their children...).
int64_t descendantsResidentKb(int pid);

}  // namespace platform
