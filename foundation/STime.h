// A point in time in seconds since 1970, shown in German date and time formats.
#pragma once

#include <cstdint>

#include "foundation/SString.h"

class STime : public SObject {
public:
    S_CLASSNAME(STime)

    STime() = default;
    explicit STime(int64_t seconds) : seconds_(seconds) {}
    static STime now();

    int64_t getSeconds() const { return seconds_; }
    // "%d.%m.%Y" in local time.
    SString formatDate() const { return format("%d.%m.%Y"); }
    // "%H:%M:%S" in local time.
    SString formatTime() const { return format("%H:%M:%S"); }
    SString format(const char* strftimeFormat) const;

private:
    // Kept in 64 bits so that times after January 2038 are not wrapped.
    int64_t seconds_ = 0;
};
