// Windows-1252 text string; literals assigned to it pass through the language table.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/SObject.h"

class SStringList;

class SString : public SObject {
public:
    S_CLASSNAME(SString)

    SString() = default;
    // A literal or C string: a tagged message is translated (or reduced to its default text).
    SString(const char* literal);
    // Raw bytes, taken as they are.
    SString(const char* bytes, std::size_t length) : s_(bytes, length) {}
    SString(std::string bytes) : s_(std::move(bytes)) {}
    SString(std::string_view bytes) : s_(bytes) {}
    // Bytes taken as they are, never as a tagged message: protocol texts, device and file names
    // written in the code.
    static SString raw(const char* bytes) { return SString(std::string_view(bytes)); }
    SString(const SString&) = default;
    SString(SString&&) noexcept = default;
    SString& operator=(const SString&) = default;
    SString& operator=(SString&&) noexcept = default;
    SString& operator=(const char* literal);
    SString& operator=(std::string bytes) {
        s_ = std::move(bytes);
        return *this;
    }

    // Formats printf-style into the string; the format passes through the language table.
    // Numbers always get a decimal point, whatever the process locale says.
    SString& format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    SString& appendFormat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    SString& formatV(const char* fmt, va_list args);
    static SString printf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    SString& operator+=(const SString& other) {
        s_ += other.s_;
        return *this;
    }
    SString& operator+=(const char* literal) { return *this += SString(literal); }
    SString& operator+=(char c) {
        s_ += c;
        return *this;
    }
    SString& append(const char* bytes, std::size_t length) {
        s_.append(bytes, length);
        return *this;
    }

    int getLength() const { return static_cast<int>(s_.size()); }
    std::size_t size() const { return s_.size(); }
    bool isEmpty() const { return s_.empty(); }
    void clear() { s_.clear(); }
    const char* c_str() const { return s_.c_str(); }
    const char* data() const { return s_.data(); }
    char* data() { return s_.data(); }
    const std::string& str() const { return s_; }
    std::string& str() { return s_; }
    operator std::string_view() const { return s_; }
    // Byte at an index; 0 outside the string.
    char getAt(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < s_.size() ? s_[static_cast<std::size_t>(index)] : 0;
    }
    char operator[](int index) const { return getAt(index); }

    // First occurrence at or after start; -1 when absent.
    int find(const SString& what, int start = 0, bool ignoreCase = false) const;
    int find(char c, int start = 0) const;
    // Last occurrence that begins at or before start (-1: anywhere); -1 when absent.
    int findReverse(const SString& what, int start = -1) const;
    // Replaces every occurrence at or after start; returns the number of replacements.
    int replaceAll(const SString& what, const SString& by, int start = 0);
    // Returns the text before the first separator and removes it and the separator from this
    // string; without the separator returns everything and leaves this string empty.
    SString cutFront(const SString& separator);
    SString mid(int start, int count = -1) const;
    SString left(int count) const { return mid(0, count); }
    SString right(int count) const;
    bool startsWith(const SString& prefix) const { return s_.starts_with(prefix.s_); }
    bool endsWith(const SString& suffix) const { return s_.ends_with(suffix.s_); }

    // Integer value: "#RRGGBB" colours (as 0x00BBGGRR), "0x" hexadecimal, "0b" binary, else decimal.
    int32_t toInt() const;
    // Decimal floating-point value, independent of the process locale; 0.0 without a number.
    double toDouble() const;

    // Removes characters with codes 1..32 from both ends (or one end).
    SString& trim();
    SString& trimLeft();
    SString& trimRight();
    // ASCII letters and the umlauts Ä/ä, Ö/ö, Ü/ü.
    SString& toLower();
    SString& toUpper();
    SString lowered() const { return SString(*this).toLower(); }
    SString uppered() const { return SString(*this).toUpper(); }
    static char lowerChar(char c);
    static char upperChar(char c);
    int compareNoCase(const SString& other) const;

    // Replaces the entities of umlauts, ß, &prime;, &quot;, &lt;, &gt; and &amp; (last).
    SString& htmlDecode();
    // The entity of one character, or the character itself.
    static SString htmlEncode(char c);
    SString htmlEncoded() const;

    // Matches a delimited regular expression ("/pattern/modifiers"); results gets the whole
    // match and the captured groups of the first match. Returns their count, 0 without a match,
    // -1 on an error (shown in a message box).
    int match(const SString& expression, SStringList& results, int maxResults = 100) const;

    // A 16-bit copy for interfaces that want UTF-16.
    std::u16string toUtf16() const;
    // A UTF-8 copy, for terminals and files that want UTF-8.
    std::string toUtf8() const;

    friend bool operator==(const SString& a, const SString& b) { return a.s_ == b.s_; }
    friend bool operator==(const SString& a, const char* b) { return a.s_ == b; }
    friend auto operator<=>(const SString& a, const SString& b) { return a.s_ <=> b.s_; }
    friend SString operator+(SString a, const SString& b) { return a += b; }
    friend SString operator+(SString a, const char* b) { return a += SString(b); }
    friend SString operator+(const char* a, const SString& b) { return SString(a) += b; }
    friend SString operator+(SString a, char b) { return a += b; }

private:
    std::string s_;
};

template <>
struct std::hash<SString> {
    std::size_t operator()(const SString& s) const noexcept { return std::hash<std::string>()(s.str()); }
};
