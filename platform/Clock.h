// Monotonic time and sleeping.
#pragma once
#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock; only differences have a meaning.
int64_t monotonicMs();
// Microseconds of the same clock.
int64_t monotonicUs();
void sleepMs(int ms);

}  // namespace platform
