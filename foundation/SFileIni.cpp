#include "foundation/SFileIni.h"

#include <unordered_set>

#include "foundation/SError.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"
#include "platform/FileOps.h"

namespace {

constexpr std::size_t npos = std::string::npos;
const std::string maskedSign = "[nukContentMask+";
const std::string plainSign = "[nukContentMask-";

// The line rules of one text. With "\r\n" line ends (the normal case) only "\r\n" starts a new
// line and a value ends at the next "\r"; with bare "\n" line ends every "\n" starts a line and
// a value ends at "\r" or "\n".
struct Lines {
    const std::string& s;
    bool bareLf;

    bool isLineStart(std::size_t pos) const {
        if (pos == 0) return true;
        if (s[pos - 1] != '\n') return false;
        return bareLf || (pos >= 2 && s[pos - 2] == '\r');
    }
    // End of the value or line text that starts at pos.
    std::size_t textEnd(std::size_t pos) const {
        std::size_t e = bareLf ? s.find_first_of("\r\n", pos) : s.find('\r', pos);
        return e == npos ? s.size() : e;
    }
    // Start of the line after the one that contains pos, or npos.
    std::size_t nextLine(std::size_t pos) const {
        if (bareLf) {
            std::size_t nl = s.find('\n', pos);
            return nl == npos ? npos : nl + 1;
        }
        std::size_t nl = s.find("\r\n", pos);
        return nl == npos ? npos : nl + 2;
    }
    // Length of the line end at pos ("\r\n", or a bare "\n" with bare line feeds); 0 when
    // there is none, as for a lone "\r", which ends a value but starts no line.
    std::size_t lineEndLength(std::size_t pos) const {
        if (s.compare(pos, 2, "\r\n") == 0) return 2;
        if (bareLf && pos < s.size() && s[pos] == '\n') return 1;
        return 0;
    }
    // Calls f(name, bodyBegin, bodyEnd) for every section header in file order until f returns
    // false.
    template <typename F>
    void forEachSection(F f) const {
        std::size_t pos = 0;
        while (pos < s.size()) {
            if (s[pos] == '[' && isLineStart(pos)) {
                std::size_t close = s.find(']', pos + 1);
                if (close != npos && close < textEnd(pos)) {
                    // Blanks after "]", then one "\r" and one "\n".
                    std::size_t b = close + 1;
                    while (b < s.size() && s[b] == ' ') ++b;
                    if (b < s.size() && s[b] == '\r') ++b;
                    if (b < s.size() && s[b] == '\n') ++b;
                    // The body runs to the next header line; a header directly followed by "["
                    // has an empty body.
                    std::size_t e = b;
                    if (e >= s.size() || s[e] != '[') {
                        e = s.find(bareLf ? "\n[" : "\r\n[", b);
                        if (e == npos) e = s.size();
                        else if (bareLf && e > b && s[e - 1] == '\r') --e;
                    }
                    if (!f(s.substr(pos + 1, close - pos - 1), b, e)) return;
                    pos = e;
                    continue;
                }
            }
            pos = nextLine(pos);
            if (pos == npos) break;
        }
    }
};

bool matchesPattern(const std::string& name, const std::string& pattern) {
    if (pattern == "*") return true;
    if (!pattern.empty() && pattern.back() == '*') return name.starts_with(pattern.substr(0, pattern.size() - 1));
    if (!pattern.empty() && pattern.front() == '*') return name.ends_with(pattern.substr(1));
    return name == pattern;
}

bool hasMaskHeader(const std::string& s, const std::string& sign) {
    if (s.size() < SFileIni::maskHeaderSize || !s.starts_with(sign)) return false;
    for (std::size_t i = 16; i < 19; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return s.compare(19, 3, "]\r\n") == 0;
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
    // The full name, so that a save goes where the file was read even if the current
    // directory changes in between.
    path_ = SFileSystem::getFullPath(path);
    if (path_.isEmpty()) path_ = path;
    readOnly_ = readOnly;
    modified_ = false;
    unreadable_ = false;
    content_.clear();
    error_.clear();
    SFile file;
    if (!file.open(path, "rb", true)) {
        error_ = file.getError();
        // Only a missing file is created (a symbolic link to a missing file creates its
        // target): one that exists but cannot be read must not be truncated.
        const bool exists = platform::targetExists(path_.str());
        if (!create || readOnly || exists) {
            unreadable_ = exists;
            return false;
        }
        if (!file.open(path, "w+b", true)) {
            error_ = file.getError();
            return false;
        }
        error_.clear();
        return true;
    }
    SString text;
    if (!file.readToEnd(text)) {
        error_ = file.getError();
        unreadable_ = true;
        return false;
    }
    setContent(text);
    return true;
}

bool SFileIni::usesBareLineFeeds() const {
    const std::string& s = content_.str();
    std::size_t nl = s.find('\n');
    return nl != npos && (nl == 0 || s[nl - 1] != '\r');
}

bool SFileIni::findSection(const std::string& name, Span& body) const {
    bool found = false;
    Lines{content_.str(), usesBareLineFeeds()}.forEachSection([&](const std::string& n, std::size_t b, std::size_t e) {
        if (n != name) return true;
        body = {b, e};
        found = true;
        return false;
    });
    return found;
}

namespace {
// An entry line starts at a line start, or at the beginning of a body whose header line ended.
bool isEntryStart(const Lines& lines, std::size_t pos, std::size_t bodyBegin) {
    return lines.isLineStart(pos) || (pos == bodyBegin && pos > 0 && lines.s[pos - 1] == '\n');
}
}  // namespace

std::size_t SFileIni::findKey(const Span& body, const std::string& key) const {
    if (key.empty()) return npos;
    const Lines lines{content_.str(), usesBareLineFeeds()};
    const std::string probe = key + "=";
    for (std::size_t pos = lines.s.find(probe, body.begin); pos != npos && pos + probe.size() <= body.end;
         pos = lines.s.find(probe, pos + 1)) {
        if (isEntryStart(lines, pos, body.begin)) return pos;
    }
    return npos;
}

SString SFileIni::getValue(const SString& section, const SString& key, const SString& defaultValue) const {
    Span body{};
    if (!findSection(section.str(), body)) return defaultValue;
    std::size_t pos = findKey(body, key.str());
    if (pos == npos) return defaultValue;
    const Lines lines{content_.str(), usesBareLineFeeds()};
    std::size_t v = pos + key.size() + 1;
    return SString(lines.s.substr(v, lines.textEnd(v) - v));
}

void SFileIni::setValue(const SString& section, const SString& key, const SString& value) {
    if (key.isEmpty()) return;
    std::string& s = content_.str();
    const bool bareLf = usesBareLineFeeds();
    const Lines lines{s, bareLf};
    const std::string br = bareLf ? "\n" : "\r\n";
    Span body{};
    if (!findSection(section.str(), body)) {
        if (value.isEmpty()) return;
        s += br + "[" + section.str() + "]" + br + key.str() + "=" + value.str() + br;
        modified_ = true;
        return;
    }
    std::size_t pos = findKey(body, key.str());
    if (pos != npos && !value.isEmpty()) {
        std::size_t v = pos + key.size() + 1;
        std::size_t e = lines.textEnd(v);
        if (s.compare(v, e - v, value.str()) != 0) {
            s.replace(v, e - v, value.str());
            modified_ = true;
        }
        return;
    }
    if (pos != npos) {
        // Remove every line of the key, each with its line end. The line end stays where the
        // text behind it would otherwise change its meaning: behind a lone "\r" nothing starts a
        // line, and a header line ended by a bare "\n" starts none in a "\r\n" file either.
        while (pos != npos) {
            std::size_t e = lines.textEnd(pos + key.size() + 1);
            if (lines.isLineStart(pos)) e += lines.lineEndLength(e);
            s.erase(pos, e - pos);
            modified_ = true;
            if (!findSection(section.str(), body)) break;
            pos = findKey(body, key.str());
        }
        return;
    }
    if (value.isEmpty()) return;
    std::string line = key.str() + "=" + value.str() + br;
    std::size_t at = body.end;
    // The new line must start a line of its own.
    if (!isEntryStart(lines, at, body.begin)) {
        if (std::size_t n = lines.lineEndLength(at)) {
            at += n;  // behind the line end that precedes the next header
        } else {
            line = br + line;
            // Behind a lone "\r" (a header line ended by one) the break goes in front of it:
            // "\r" + "\n" would make a line end of another kind, which can change how the
            // whole text reads, and the "\r" keeps the text behind it from starting a line.
            if (at > 0 && s[at - 1] == '\r') --at;
        }
    }
    s.insert(at, line);
    modified_ = true;
}

int SFileIni::getSections(const SString& patterns, SStringList& names, SStringList* bodies) const {
    SStringList list = SStringList::split(patterns, "|");
    std::unordered_set<std::string> seen;
    int count = 0;
    const std::string& s = content_.str();
    Lines{s, usesBareLineFeeds()}.forEachSection([&](const std::string& n, std::size_t b, std::size_t e) {
        if (seen.count(n)) return true;
        for (const SString& p : list) {
            if (matchesPattern(n, p.str())) {
                seen.insert(n);
                names.add(SString(n));
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
    const Lines lines{content_.str(), usesBareLineFeeds()};
    const std::string& s = lines.s;
    int count = 0;
    for (std::size_t pos = body.begin; pos < body.end; pos = lines.nextLine(pos)) {
        std::size_t e = std::min(lines.textEnd(pos), body.end);
        std::size_t eq = s.find('=', pos);
        bool comment = s[pos] == ';' || s[pos] == '#';
        if (!comment && eq != npos && eq < e && eq > pos && isEntryStart(lines, pos, body.begin)) {
            keys.add(SString(s.substr(pos, eq - pos)));
            values.add(SString(s.substr(eq + 1, e - eq - 1)));
            ++count;
        }
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
    if (unreadable_) {
        error_ = SString("Die Datei '") + path_ + "' konnte nicht gelesen werden und wird nicht \xFC" "berschrieben.";
        return false;
    }
    if (path_.isEmpty()) {
        error_ = "Fehler beim Schreiben: es wurde kein Dateiname angegeben.";
        return false;
    }
    std::string out = content_.str();
    if (hasMaskHeader(out, plainSign)) {
        applyMask(out);
        out[15] = '+';
    }
    int err = 0;
    if (!platform::replaceFileContent(path_.str(), out, &err)) {
        error_ = SString("Fehler beim Schreiben: ") + SError::systemErrorText(err);
        return false;
    }
    modified_ = false;
    return true;
}
