// The smoke run of the benchmarks: with NUK_BENCH_SMOKE=1 in the environment (the "bench" tests
// of ctest set it) a benchmark with a fixed number of iterations runs only one, so that every
// benchmark can start briefly in CI, where its figures are not judged.
#pragma once

#include <cstdlib>
#include <cstring>

namespace benchsmoke {

inline bool on() {
    const char* value = std::getenv("NUK_BENCH_SMOKE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

// The iterations of a fixed run: one in a smoke run.
inline int iterations(int normal) {
    return on() ? 1 : normal;
}

}  // namespace benchsmoke
