#include "board/DriverVersion.h"

#include <cstdint>
#include <vector>

namespace {

// The numbers between the dots; a part's number is its leading digits (none: 0), and the text
// ends at the first part that does not begin with a digit after the first.
std::vector<uint64_t> versionParts(const SString& text) {
    std::vector<uint64_t> parts;
    const std::string& s = text.str();
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == 'v' || s[i] == 'V')) ++i;
    while (i <= s.size()) {
        uint64_t value = 0;
        bool digits = false;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            if (value < 1'000'000'000'000ull) value = value * 10 + static_cast<uint64_t>(s[i] - '0');
            digits = true;
            ++i;
        }
        if (!digits && !parts.empty()) break;
        parts.push_back(value);
        if (i >= s.size() || s[i] != '.') break;
        ++i;
    }
    while (!parts.empty() && parts.back() == 0) parts.pop_back();
    return parts;
}

}  // namespace

int compareVersions(const SString& a, const SString& b) {
    const std::vector<uint64_t> pa = versionParts(a);
    const std::vector<uint64_t> pb = versionParts(b);
    for (std::size_t i = 0; i < pa.size() || i < pb.size(); ++i) {
        const uint64_t x = i < pa.size() ? pa[i] : 0;
        const uint64_t y = i < pb.size() ? pb[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}
