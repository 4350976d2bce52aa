#include "foundation/STime.h"

#include <ctime>

STime STime::now() { return STime(static_cast<int64_t>(std::time(nullptr))); }

SString STime::format(const char* strftimeFormat) const {
    std::time_t t = static_cast<std::time_t>(seconds_);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[128];
    std::size_t n = std::strftime(buf, sizeof buf, strftimeFormat, &local);
    return SString(std::string(buf, n));
}
