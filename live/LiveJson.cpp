#include "live/LiveJson.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace livejson {

std::string quote(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::string number(double value) {
    if (!std::isfinite(value)) return "null";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

namespace {

// A strict reader of one JSON value after RFC 8259: it only checks the grammar and picks out the
// top-level "pin" string. Depth is limited, so a body of nested brackets cannot exhaust the stack.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool readDocument(std::optional<std::string>& pin) {
        skipSpace();
        if (!readObject(pin, 0, true)) return false;
        skipSpace();
        return pos_ == text_.size();
    }

private:
    static constexpr int maxDepth = 32;

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) ++pos_;
    }
    bool take(char c) {
        if (peek() != c || atEnd()) return false;
        ++pos_;
        return true;
    }
    bool takeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    bool readValue(int depth) {
        if (depth > maxDepth) return false;
        std::optional<std::string> ignored;
        switch (peek()) {
        case '{': return readObject(ignored, depth, false);
        case '[': return readArray(depth);
        case '"': return readString(nullptr);
        case 't': return takeWord("true");
        case 'f': return takeWord("false");
        case 'n': return takeWord("null");
        default: return readNumber();
        }
    }

    bool readObject(std::optional<std::string>& pin, int depth, bool topLevel) {
        if (depth > maxDepth || !take('{')) return false;
        skipSpace();
        if (take('}')) return true;
        for (;;) {
            skipSpace();
            std::string key;
            if (!readString(&key)) return false;
            skipSpace();
            if (!take(':')) return false;
            skipSpace();
            if (topLevel && key == "pin" && peek() == '"') {
                std::string value;
                if (!readString(&value)) return false;
                pin = std::move(value);
            } else {
                // Any other value, a "pin" that is no string included, is read and ignored; the
                // last "pin" member counts, as in most JSON readers.
                if (topLevel && key == "pin") pin.reset();
                if (!readValue(depth + 1)) return false;
            }
            skipSpace();
            if (take('}')) return true;
            if (!take(',')) return false;
        }
    }

    bool readArray(int depth) {
        if (!take('[')) return false;
        skipSpace();
        if (take(']')) return true;
        for (;;) {
            skipSpace();
            if (!readValue(depth + 1)) return false;
            skipSpace();
            if (take(']')) return true;
            if (!take(',')) return false;
        }
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool readHex4(unsigned& code) {
        if (pos_ + 4 > text_.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const int d = hexDigit(text_[pos_++]);
            if (d < 0) return false;
            code = code * 16 + static_cast<unsigned>(d);
        }
        return true;
    }

    bool readString(std::string* out) {
        if (!take('"')) return false;
        while (!atEnd()) {
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                if (out) *out += c;
                continue;
            }
            if (atEnd()) return false;
            const char e = text_[pos_++];
            char plain = 0;
            switch (e) {
            case '"': plain = '"'; break;
            case '\\': plain = '\\'; break;
            case '/': plain = '/'; break;
            case 'b': plain = '\b'; break;
            case 'f': plain = '\f'; break;
            case 'n': plain = '\n'; break;
            case 'r': plain = '\r'; break;
            case 't': plain = '\t'; break;
            case 'u': {
                unsigned code = 0;
                if (!readHex4(code)) return false;
                if (code >= 0xD800 && code < 0xDC00) {
                    unsigned low = 0;
                    if (!takeWord("\\u") || !readHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    return false;
                }
                if (out) appendUtf8(*out, code);
                continue;
            }
            default: return false;
            }
            if (out) *out += plain;
        }
        return false;
    }

    bool readDigits() {
        const std::size_t start = pos_;
        while (!atEnd() && peek() >= '0' && peek() <= '9') ++pos_;
        return pos_ > start;
    }

    bool readNumber() {
        take('-');
        if (take('0')) {
            // no leading zeros
        } else if (!readDigits()) {
            return false;
        }
        if (take('.') && !readDigits()) return false;
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (!take('+')) take('-');
            if (!readDigits()) return false;
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

PinBody readPinBody(std::string_view body) {
    PinBody result;
    std::optional<std::string> pin;
    Reader reader(body);
    if (!reader.readDocument(pin)) return result;
    result.status = PinBody::Status::ok;
    result.pin = std::move(pin);
    return result;
}

}  // namespace livejson
