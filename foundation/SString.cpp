#include "foundation/SString.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#include "foundation/SLanguage.h"
#include "foundation/SLists.h"
#include "foundation/SRegExp.h"

namespace {

constexpr std::size_t maxFormatted = 9999999;

// Windows-1252 umlaut pairs that the case folding knows besides ASCII.
constexpr unsigned char upperUmlauts[] = {0xC4, 0xD6, 0xDC};
constexpr unsigned char lowerUmlauts[] = {0xE4, 0xF6, 0xFC};

std::string translated(const char* literal) {
    if (literal == nullptr) return {};
    // Untagged text is by far the most common case; it never touches the table.
    if (static_cast<unsigned char>(literal[0]) != 0xB3 || static_cast<unsigned char>(literal[1]) != 0xB3)
        return literal;
    return globalLanguage().translate(literal);
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

uint32_t hexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
    return static_cast<uint32_t>(c - 'A' + 10);
}

// The "C" locale, so that number conversion does not depend on what the GUI set.
locale_t cLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

}  // namespace

SString::SString(const char* literal) : s_(translated(literal)) {}

SString& SString::operator=(const char* literal) {
    s_ = translated(literal);
    return *this;
}

SString& SString::formatV(const char* fmt, va_list args) {
    std::string f = translated(fmt);
    // Numbers are formatted with a decimal point whatever locale the GUI set, so that texts
    // written to files read back with toDouble().
    locale_t previous = uselocale(cLocale());
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, f.c_str(), copy);
    va_end(copy);
    if (needed < 0) {
        uselocale(previous);
        s_.clear();
        return *this;
    }
    std::size_t size = std::min(static_cast<std::size_t>(needed), maxFormatted);
    std::string out(size + 1, '\0');
    std::vsnprintf(out.data(), out.size(), f.c_str(), args);
    uselocale(previous);
    out.resize(size);
    s_ = std::move(out);
    return *this;
}

SString& SString::format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    formatV(fmt, args);
    va_end(args);
    return *this;
}

SString& SString::appendFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    SString more;
    more.formatV(fmt, args);
    va_end(args);
    s_ += more.s_;
    return *this;
}

SString SString::printf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    SString out;
    out.formatV(fmt, args);
    va_end(args);
    return out;
}

int SString::find(const SString& what, int start, bool ignoreCase) const {
    if (start < 0) start = 0;
    if (static_cast<std::size_t>(start) > s_.size()) return -1;
    if (!ignoreCase) {
        std::size_t pos = s_.find(what.s_, static_cast<std::size_t>(start));
        return pos == std::string::npos ? -1 : static_cast<int>(pos);
    }
    std::size_t n = what.s_.size();
    for (std::size_t i = static_cast<std::size_t>(start); i + n <= s_.size(); ++i) {
        std::size_t j = 0;
        while (j < n && lowerChar(s_[i + j]) == lowerChar(what.s_[j])) ++j;
        if (j == n) return static_cast<int>(i);
    }
    return -1;
}

int SString::find(char c, int start) const {
    if (start < 0) start = 0;
    std::size_t pos = s_.find(c, static_cast<std::size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int SString::findReverse(const SString& what, int start) const {
    std::size_t from = start < 0 ? std::string::npos : static_cast<std::size_t>(start);
    std::size_t pos = s_.rfind(what.s_, from);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int SString::replaceAll(const SString& what, const SString& by, int start) {
    if (what.s_.empty()) return 0;
    if (start < 0) start = 0;
    std::size_t pos = static_cast<std::size_t>(start);
    if (pos > s_.size()) return 0;
    int count = 0;
    std::string out = s_.substr(0, pos);
    while (true) {
        std::size_t hit = s_.find(what.s_, pos);
        if (hit == std::string::npos) break;
        out.append(s_, pos, hit - pos);
        out += by.s_;
        pos = hit + what.s_.size();
        ++count;
    }
    if (count == 0) return 0;
    out.append(s_, pos, std::string::npos);
    s_ = std::move(out);
    return count;
}

SString SString::cutFront(const SString& separator) {
    std::size_t pos = separator.s_.empty() ? std::string::npos : s_.find(separator.s_);
    if (pos == std::string::npos) {
        SString all(std::move(s_));
        s_.clear();
        return all;
    }
    SString front(s_.substr(0, pos));
    s_.erase(0, pos + separator.s_.size());
    return front;
}

SString SString::mid(int start, int count) const {
    if (start < 0) start = 0;
    if (static_cast<std::size_t>(start) >= s_.size() || count == 0) return {};
    std::size_t n = count < 0 ? std::string::npos : static_cast<std::size_t>(count);
    return SString(s_.substr(static_cast<std::size_t>(start), n));
}

SString SString::right(int count) const {
    if (count <= 0) return {};
    std::size_t n = std::min(static_cast<std::size_t>(count), s_.size());
    return SString(s_.substr(s_.size() - n));
}

int32_t SString::toInt() const {
    const std::size_t n = s_.size();
    if (n > 6 && s_[0] == '#') {
        uint32_t rgb = 0;
        for (std::size_t i = 1; i < n && i <= 6 && isHexDigit(s_[i]); ++i) rgb = (rgb << 4) | hexValue(s_[i]);
        // Files write red first; the platform's colour values hold red in the low byte.
        uint32_t bgr = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
        return static_cast<int32_t>(bgr);
    }
    if (n > 2 && s_[0] == '0' && s_[1] == 'x') {
        uint32_t v = 0;
        for (std::size_t i = 2; i < n && isHexDigit(s_[i]); ++i) v = (v << 4) | hexValue(s_[i]);
        return static_cast<int32_t>(v);
    }
    if (n > 2 && s_[0] == '0' && s_[1] == 'b') {
        uint32_t v = 0;
        for (std::size_t i = 2; i < n && i < 34 && (s_[i] == '0' || s_[i] == '1'); ++i) v = (v << 1) | (s_[i] == '1');
        return static_cast<int32_t>(v);
    }
    // Like atoi: the C library's conversion; values beyond 32 bits end at the nearest limit
    // instead of wrapping.
    long v = std::strtol(s_.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

double SString::toDouble() const { return strtod_l(s_.c_str(), nullptr, cLocale()); }

SString& SString::trimLeft() {
    std::size_t i = 0;
    while (i < s_.size() && static_cast<unsigned char>(s_[i]) >= 1 && static_cast<unsigned char>(s_[i]) <= 32) ++i;
    s_.erase(0, i);
    return *this;
}

SString& SString::trimRight() {
    std::size_t n = s_.size();
    while (n > 0 && static_cast<unsigned char>(s_[n - 1]) >= 1 && static_cast<unsigned char>(s_[n - 1]) <= 32) --n;
    s_.resize(n);
    return *this;
}

SString& SString::trim() { return trimRight().trimLeft(); }

char SString::lowerChar(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
    for (int i = 0; i < 3; ++i)
        if (u == upperUmlauts[i]) return static_cast<char>(lowerUmlauts[i]);
    return c;
}

char SString::upperChar(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
    for (int i = 0; i < 3; ++i)
        if (u == lowerUmlauts[i]) return static_cast<char>(upperUmlauts[i]);
    return c;
}

SString& SString::toLower() {
    for (char& c : s_) c = lowerChar(c);
    return *this;
}

SString& SString::toUpper() {
    for (char& c : s_) c = upperChar(c);
    return *this;
}

int SString::compareNoCase(const SString& other) const {
    std::size_t n = std::min(s_.size(), other.s_.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto a = static_cast<unsigned char>(lowerChar(s_[i]));
        auto b = static_cast<unsigned char>(lowerChar(other.s_[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    return s_.size() == other.s_.size() ? 0 : (s_.size() < other.s_.size() ? -1 : 1);
}

namespace {
// Entities in decoding order; "&amp;" comes last so that "&amp;lt;" decodes to "&lt;".
const std::pair<const char*, char> htmlEntities[] = {
    {"&auml;", '\xE4'}, {"&ouml;", '\xF6'}, {"&uuml;", '\xFC'}, {"&Auml;", '\xC4'},
    {"&Ouml;", '\xD6'}, {"&Uuml;", '\xDC'}, {"&szlig;", '\xDF'}, {"&prime;", '\''},
    {"&quot;", '"'},    {"&lt;", '<'},      {"&gt;", '>'},       {"&amp;", '&'},
};
}  // namespace

SString& SString::htmlDecode() {
    if (s_.find('&') == std::string::npos) return *this;
    for (const auto& [entity, c] : htmlEntities) replaceAll(SString(std::string(entity)), SString(std::string(1, c)));
    return *this;
}

SString SString::htmlEncode(char c) {
    for (const auto& [entity, ch] : htmlEntities)
        if (ch == c) return SString(std::string(entity));
    return SString(std::string(1, c));
}

SString SString::htmlEncoded() const {
    std::string out;
    out.reserve(s_.size());
    for (char c : s_) out += htmlEncode(c).s_;
    return SString(std::move(out));
}

int SString::match(const SString& expression, SStringList& results, int maxResults) const {
    SRegExp re(expression);
    return re.match(*this, results, maxResults);
}

std::u16string SString::toUtf16() const {
    // Windows-1252 differs from Latin-1 only in 0x80..0x9F.
    static const char16_t cp1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::u16string out;
    out.reserve(s_.size());
    for (char c : s_) {
        auto u = static_cast<unsigned char>(c);
        out += (u >= 0x80 && u < 0xA0) ? cp1252[u - 0x80] : static_cast<char16_t>(u);
    }
    return out;
}

std::string SString::toUtf8() const {
    std::string out;
    out.reserve(s_.size());
    // Every Windows-1252 character lies in the 16-bit range: at most three UTF-8 bytes.
    for (char16_t c : toUtf16()) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
