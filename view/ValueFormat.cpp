#include "view/ValueFormat.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <optional>
#include <string>
#include <utility>

#include "foundation/SLanguage.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads at most two digits; false for three or more.
bool skipNumber(const char*& p) {
    int n = 0;
    while (isDigit(*p)) {
        ++p;
        if (++n > 2) return false;
    }
    return true;
}

locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

SString apply(const char* format, double value) {
    locale_t previous = uselocale(cLocale());
    char buffer[256];
    // Width and precision are bounded by isValid, so the text fits the buffer unless the
    // literal text is long; then the text is measured and formatted again.
    int needed = std::snprintf(buffer, sizeof buffer, format, value);
    SString out;
    if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof buffer) {
        out = std::string(buffer, static_cast<std::size_t>(needed));
    } else if (needed >= 0) {
        std::string big(static_cast<std::size_t>(needed) + 1, '\0');
        std::snprintf(big.data(), big.size(), format, value);
        big.resize(static_cast<std::size_t>(needed));
        out = std::move(big);
    }
    uselocale(previous);
    return out;
}

// Where the one floating-point conversion of a usable format begins and ends; nothing when the
// format is refused.
std::optional<std::pair<std::size_t, std::size_t>> conversionSpan(const std::string& format) {
    // printf sees the text up to the first zero byte; a format with one inside is refused, so
    // nothing hides behind it.
    if (std::strlen(format.c_str()) != format.size()) return std::nullopt;
    std::optional<std::pair<std::size_t, std::size_t>> span;
    const char* const start = format.c_str();
    for (const char* p = start; *p;) {
        if (*p != '%') {
            ++p;
            continue;
        }
        const char* const begin = p;
        ++p;
        if (*p == '%') {
            ++p;
            continue;
        }
        while (*p && std::strchr("-+ #0", *p)) ++p;
        if (!skipNumber(p)) return std::nullopt;
        if (*p == '.') {
            ++p;
            if (!skipNumber(p)) return std::nullopt;
        }
        if (*p == 0 || !std::strchr("fFeEgGaA", *p)) return std::nullopt;
        ++p;
        if (span) return std::nullopt;
        span = std::make_pair(static_cast<std::size_t>(begin - start), static_cast<std::size_t>(p - start));
    }
    return span;
}

}  // namespace

namespace ValueFormat {

bool isValid(const SString& format) {
    return conversionSpan(format.str()).has_value();
}

SString format(const SString& format, double value, const char* fallback) {
    const std::string& chosen = isValid(format) ? format.str() : std::string(fallback);
    const std::optional<std::pair<std::size_t, std::size_t>> span = conversionSpan(chosen);
    const char separator = globalLanguage().getDecimalSeparator();
    if (!span || separator == '.') return apply(chosen.c_str(), value);
    // Only the number gets the separator; a point in the literal text stays a point.
    const auto [begin, end] = *span;
    std::string number = apply(chosen.substr(begin, end - begin).c_str(), value).str();
    std::replace(number.begin(), number.end(), '.', separator);
    return SString(apply(chosen.substr(0, begin).c_str(), 0.0).str() + number +
                   apply(chosen.substr(end).c_str(), 0.0).str());
}

}  // namespace ValueFormat
