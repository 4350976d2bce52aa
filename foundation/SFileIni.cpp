#include "foundation/SFileIni.h"

#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"
#include "platform/FileOps.h"

namespace {

const std::string maskedSign = "[nukContentMask+";
const std::string plainSign = "[nukContentMask-";

// Lines end in "\r\n"; files edited on Linux may end them in "\n" alone, which is accepted too.
bool atLineStart(const std::string& s, std::size_t pos) { return pos == 0 || s[pos - 1] == '\n'; }

std::size_t lineEnd(const std::string& s, std::size_t pos) {
    std::size_t e = s.find_first_of("\r\n", pos);
    return e == std::string::npos ? s.size() : e;
}

bool matchesPattern(const std::string& name, const std::string& pattern) {
    if (pattern == "*") return true;
    if (!pattern.empty() && pattern.back() == '*') return name.starts_with(pattern.substr(0, pattern.size() - 1));
    if (!pattern.empty() && pattern.front() == '*') return name.ends_with(pattern.substr(1));
    return name == pattern;
}

// Calls f(name, body) for every section header in the text, in file order.
template <typename F>
void forEachSection(const std::string& s, F f) {
    std::size_t pos = 0;
    while (pos < s.size()) {
        if (s[pos] == '[' && atLineStart(s, pos)) {
            std::size_t close = s.find(']', pos + 1);
            std::size_t eol = lineEnd(s, pos);
            if (close != std::string::npos && close < eol) {
                std::string name = s.substr(pos + 1, close - pos - 1);
                // Blanks after "]", then one "\r" and one "\n".
                std::size_t b = close + 1;
                while (b < s.size() && s[b] == ' ') ++b;
                if (b < s.size() && s[b] == '\r') ++b;
                if (b < s.size() && s[b] == '\n') ++b;
                // The body runs to the next header line.
                std::size_t e = b;
                if (!(e < s.size() && s[e] == '[')) {
                    e = s.find("\n[", b);
                    e = e == std::string::npos ? s.size() : (e > 0 && s[e - 1] == '\r' ? e - 1 : e);
                    if (e < b) e = b;
                }
                if (!f(name, b, e)) return;
                pos = e;
                continue;
            }
        }
        std::size_t nl = s.find('\n', pos);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
}

}  // namespace

SFileIni::~SFileIni() {
    if (modified_ && !readOnly_ && !path_.isEmpty()) save();
}

void SFileIni::applyMask(std::string& text) {
    if (text.size() < maskHeaderSize) return;
    int number = (text[16] - '0') * 100 + (text[17] - '0') * 10 + (text[18] - '0');
    auto mask = static_cast<unsigned char>((number - 43) & 0xFF);
    for (std::size_t i = maskHeaderSize; i < text.size(); ++i) text[i] = static_cast<char>(text[i] ^ mask);
}

namespace {
bool hasMaskHeader(const std::string& s, const std::string& sign) {
    if (s.size() < SFileIni::maskHeaderSize || !s.starts_with(sign)) return false;
    for (int i = 16; i < 19; ++i)
        if (s[static_cast<std::size_t>(i)] < '0' || s[static_cast<std::size_t>(i)] > '9') return false;
    return s.compare(19, 3, "]\r\n") == 0;
}
}  // namespace

bool SFileIni::isMasked() const { return hasMaskHeader(content_.str(), plainSign); }

void SFileIni::setContent(const SString& text) {
    content_ = text;
    std::string& s = content_.str();
    if (hasMaskHeader(s, maskedSign)) {
        applyMask(s);
        s[15] = '-';
    }
}

bool SFileIni::open(const SString& path, bool create, bool readOnly) {
    if (modified_ && !readOnly_ && !path_.isEmpty()) save();
    path_ = path;
    readOnly_ = readOnly;
    modified_ = false;
    content_.clear();
    error_.clear();
    SString error;
    SFile file;
    if (!file.open(path, "rb", true)) {
        if (!create || readOnly) {
            error_ = file.getError();
            return false;
        }
        if (!file.open(path, "w+b", true)) {
            error_ = file.getError();
            return false;
        }
        return true;
    }
    SString text;
    if (!file.readToEnd(text)) {
        error_ = file.getError();
        return false;
    }
    setContent(text);
    return true;
}

bool SFileIni::findSection(const std::string& name, Span& body) const {
    bool found = false;
    forEachSection(content_.str(), [&](const std::string& n, std::size_t b, std::size_t e) {
        if (n != name) return true;
        body = {b, e};
        found = true;
        return false;
    });
    return found;
}

std::size_t SFileIni::findKey(const Span& body, const std::string& key) const {
    const std::string& s = content_.str();
    if (key.empty()) return std::string::npos;
    std::string probe = key + "=";
    for (std::size_t pos = s.find(probe, body.begin); pos != std::string::npos && pos < body.end;
         pos = s.find(probe, pos + 1)) {
        if (atLineStart(s, pos)) return pos;
    }
    return std::string::npos;
}

SString SFileIni::getValue(const SString& section, const SString& key, const SString& defaultValue) const {
    Span body{};
    if (!findSection(section.str(), body)) return defaultValue;
    std::size_t pos = findKey(body, key.str());
    if (pos == std::string::npos) return defaultValue;
    const std::string& s = content_.str();
    std::size_t v = pos + key.size() + 1;
    return SString(s.substr(v, lineEnd(s, v) - v));
}

std::string SFileIni::lineBreak() const {
    const std::string& s = content_.str();
    // A file written with bare "\n" line ends keeps them; everything else gets "\r\n".
    std::size_t nl = s.find('\n');
    if (nl != std::string::npos && (nl == 0 || s[nl - 1] != '\r')) return "\n";
    return "\r\n";
}

void SFileIni::setValue(const SString& section, const SString& key, const SString& value) {
    modified_ = true;
    std::string& s = content_.str();
    const std::string br = lineBreak();
    Span body{};
    if (!findSection(section.str(), body)) {
        if (value.isEmpty()) return;
        s += br + "[" + section.str() + "]" + br + key.str() + "=" + value.str() + br;
        return;
    }
    std::size_t pos = findKey(body, key.str());
    if (pos != std::string::npos) {
        std::size_t v = pos + key.size() + 1;
        std::size_t e = lineEnd(s, v);
        if (!value.isEmpty()) {
            s.replace(v, e - v, value.str());
            return;
        }
        // Remove the whole line with its line end.
        if (e < s.size() && s[e] == '\r') ++e;
        if (e < s.size() && s[e] == '\n') ++e;
        s.erase(pos, e - pos);
        return;
    }
    if (value.isEmpty()) return;
    std::string line = key.str() + "=" + value.str() + br;
    std::size_t at = body.end;
    // The new line must start a line of its own.
    if (at > 0 && s[at - 1] != '\n') {
        if (at < s.size() && s[at] == '\r' && at + 1 < s.size() && s[at + 1] == '\n') {
            at += 2;  // behind the line end that precedes the next header
        } else if (at < s.size() && s[at] == '\n') {
            at += 1;
        } else {
            line = br + line;
        }
    }
    s.insert(at, line);
}

int SFileIni::getSections(const SString& patterns, SStringList& names, SStringList* bodies) const {
    SStringList list = SStringList::split(patterns, "|");
    int count = 0;
    const std::string& s = content_.str();
    forEachSection(s, [&](const std::string& n, std::size_t b, std::size_t e) {
        SString name(n);
        if (names.find(name) >= 0) return true;
        for (const SString& p : list) {
            if (matchesPattern(n, p.str())) {
                names.add(name);
                if (bodies) bodies->add(SString(s.substr(b, e - b)));
                ++count;
                break;
            }
        }
        return true;
    });
    return count;
}

int SFileIni::getSectionEntries(const SString& section, SStringList& keys, SStringList& values) const {
    Span body{};
    if (!findSection(section.str(), body)) return 0;
    const std::string& s = content_.str();
    int count = 0;
    std::size_t pos = body.begin;
    while (pos < body.end) {
        std::size_t e = lineEnd(s, pos);
        std::size_t eq = s.find('=', pos);
        bool comment = s[pos] == ';' || s[pos] == '#';
        if (!comment && eq != std::string::npos && eq < e && eq > pos) {
            keys.add(SString(s.substr(pos, eq - pos)));
            values.add(SString(s.substr(eq + 1, e - eq - 1)));
            ++count;
        }
        std::size_t nl = s.find('\n', pos);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return count;
}

bool SFileIni::hasSection(const SString& section) const {
    Span body{};
    return findSection(section.str(), body);
}

bool SFileIni::save() {
    error_.clear();
    if (readOnly_) {
        // A file opened read-only is never written, least of all unmasked.
        error_ = SString("Die Datei '") + path_ + "' ist nur zum Lesen ge\xF6" "ffnet.";
        return false;
    }
    std::string out = content_.str();
    if (hasMaskHeader(out, plainSign)) {
        applyMask(out);
        out[15] = '+';
    }
    int err = 0;
    if (!platform::replaceFileContent(SFileSystem::getFullPath(path_).str(), out, &err)) {
        error_ = SString("Fehler beim Schreiben: ") + SError::systemErrorText(err);
        return false;
    }
    modified_ = false;
    return true;
}
