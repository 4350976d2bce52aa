#include "view/ValueFormat.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

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

}  // namespace

namespace ValueFormat {

bool isValid(const SString& format) {
    // printf sees the text up to the first zero byte; a format with one inside is refused, so
    // nothing hides behind it.
    if (std::strlen(format.c_str()) != format.size()) return false;
    int conversions = 0;
    for (const char* p = format.c_str(); *p;) {
        if (*p != '%') {
            ++p;
            continue;
        }
        ++p;
        if (*p == '%') {
            ++p;
            continue;
        }
        while (*p && std::strchr("-+ #0", *p)) ++p;
        if (!skipNumber(p)) return false;
        if (*p == '.') {
            ++p;
            if (!skipNumber(p)) return false;
        }
        if (*p == 0 || !std::strchr("fFeEgGaA", *p)) return false;
        ++p;
        if (++conversions > 1) return false;
    }
    return conversions == 1;
}

SString format(const SString& format, double value, const char* fallback) {
    return apply(isValid(format) ? format.c_str() : fallback, value);
}

}  // namespace ValueFormat
