#include "foundation/SXmlTag.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "foundation/SDebug.h"

namespace {

constexpr std::size_t npos = std::string::npos;

// Word characters of the attribute names: what \w and \d match in a byte pattern.
bool isWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// First occurrence of needle in hay at or after from, or -1. memmem runs in linear time, so
// hostile names cannot make a single search quadratic.
int findBytes(const std::string& hay, const std::string& needle, std::size_t from) {
    if (from > hay.size()) return -1;
    const void* hit = memmem(hay.data() + from, hay.size() - from, needle.data(), needle.size());
    return hit ? static_cast<int>(static_cast<const char*>(hit) - hay.data()) : -1;
}

std::string lowered(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = SString::lowerChar(c);
    return out;
}

}  // namespace

// The text being parsed and the end-tag search over it, made once per text.
struct SXmlTag::Source {
    explicit Source(const std::string& t) : text(t), endTags(t) {}
    const std::string& text;
    EndTagFinder endTags;
};

SXmlTag::SXmlTag(SXmlTag* parent, SXmlTag* prev, int options) : parent_(parent), options_(options) {
    if (prev) {
        prev_ = prev;
        next_ = prev->next_;
        prev->next_ = this;
    } else if (parent) {
        next_ = parent->firstChild_;
        parent->firstChild_ = this;
    }
    if (next_) next_->prev_ = this;
    if (parent) {
        null_ = parent->null_;
        depth_ = parent->depth_ + 1;
    } else if (prev) {
        null_ = prev->null_;
        depth_ = prev->depth_;
    } else {
        null_ = new SXmlTag(options, NullTagMark{});
        ownsNullTag_ = true;
    }
}

SXmlTag::SXmlTag(int options, NullTagMark) : null_(this), parsed_(true), options_(options) {}

SXmlTag::~SXmlTag() {
    // Each child unlinks itself, so the first child is always the next one to go.
    while (firstChild_) delete firstChild_;
    if (prev_)
        prev_->next_ = next_;
    else if (parent_ && parent_->firstChild_ == this)
        parent_->firstChild_ = next_;
    if (next_) next_->prev_ = prev_;
    if (ownsNullTag_) delete null_;
}

SString SXmlTag::getText() {
    parseIfPostponed();
    return text_;
}

SString SXmlTag::getAttribute(const SString& name, const SString& def) const {
    if (name.isEmpty() || !attributes_) return def;
    const SString* value = attributes_->lookup(name);
    return value ? *value : def;
}

const SMapStringToString& SXmlTag::getAttributes() const {
    static const SMapStringToString none;
    return attributes_ ? *attributes_ : none;
}

SXmlTag* SXmlTag::getChild(const SString& name, int n) {
    parseIfPostponed();
    if (n < 1) n = 1;
    for (SXmlTag* c = firstChild_; c; c = c->next_)
        if (c->name_ == name && --n == 0) return c;
    return null_;
}

int SXmlTag::countChildren(const SString& name) {
    parseIfPostponed();
    int count = 0;
    for (SXmlTag* c = firstChild_; c; c = c->next_)
        if (name.isEmpty() || c->name_ == name) ++count;
    return count;
}

SXmlTag* SXmlTag::firstChild() {
    parseIfPostponed();
    return firstChild_ ? firstChild_ : null_;
}

bool SXmlTag::hasChildren() {
    parseIfPostponed();
    return firstChild_ != nullptr;
}

SXmlTag* SXmlTag::findParent(const SString& name) const {
    if (name.isEmpty()) return parent_ ? parent_ : null_;
    for (SXmlTag* p = parent_; p; p = p->parent_)
        if (p->name_ == name) return p;
    return null_;
}

int SXmlTag::findAttributes(const SString& text, SStringList& matches) {
    matches.removeAll();
    const std::string& s = text.str();
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        if (!isWordChar(s[i])) {
            ++i;
            continue;
        }
        // A name can only end where the word characters end, because "=" is none of them; a
        // match starting inside the same run would fail at the same place.
        std::size_t j = i;
        while (j < n && isWordChar(s[j])) ++j;
        if (j + 1 < n && s[j] == '=' && (s[j + 1] == '"' || s[j + 1] == '\'')) {
            // The value runs to the next quote of the same kind; "." does not match a line feed.
            const char quote = s[j + 1];
            std::size_t k = j + 2;
            while (k < n && s[k] != quote && s[k] != '\n') ++k;
            if (k < n && s[k] == quote) {
                matches.add(SString(s.substr(i, k + 1 - i)));
                i = k + 1;
                continue;
            }
        }
        i = j;
    }
    return matches.getSize();
}

int SXmlTag::parse(const SString& text, int position) {
    if (!isValid()) return -1;
    // Positions are int, as everywhere in the string library.
    if (text.size() >= static_cast<std::size_t>(INT_MAX / 2)) {
        globalDebug().print("SXmlTag::parse(..) Text zu gro\xDF");
        return -1;
    }
    Source src(text.str());
    return parseElement(src, position);
}

int SXmlTag::parseElement(Source& src, int position) {
    const std::string& t = src.text;
    int pos = position;
    bool named = false;
    std::size_t s = t.find('<', static_cast<std::size_t>(position));
    std::size_t e = s == npos ? npos : t.find('>', s + 1);
    if (s != npos && e != npos && e - s > 1 && readStartTag(t.substr(s, e - s + 1))) {
        named = true;
        pos = static_cast<int>(e) + 1;
        if (t[e - 1] == '/') return pos;  // self-closing
        if (t[s + 1] == '!') return pos;  // comment or document type declaration: no content
    }
    int end = src.endTags.find(name_, pos);
    if (end < 0) {
        globalDebug().print("SXmlTag::parse(..) findEndTag(..)=-1 bei " + name_ + " in " +
                            (parent_ ? parent_->name_ : SString()));
        return -1;
    }
    const std::size_t b = static_cast<std::size_t>(pos);
    const std::size_t length = static_cast<std::size_t>(end - pos);
    if (!named) {
        // Without a start tag the content would begin at the same "<" again: nothing to read.
    } else if ((options_ & 1) && name_ == "replaces" && parent_) {
        parent_->readReplaces(t.substr(b, length));
    } else if (getAttribute("parseOnlyWhenUse") == "1") {
        text_ = SString(t.substr(b, length));
    } else {
        parseChildren(src, pos, end);
    }
    return end + name_.getLength() + 3;
}

bool SXmlTag::readStartTag(const std::string& tag) {
    std::size_t blank = tag.find(' ');
    std::string name = tag.substr(0, blank);
    if (!name.empty() && name.front() == '<') name.erase(0, 1);
    if (!name.empty() && name.back() == '>') name.pop_back();
    if (!name.empty() && name.back() == '/') name.pop_back();
    if (name.empty()) return false;
    name_ = SString(std::move(name));
    if (blank == npos) return true;

    SStringList matches;
    findAttributes(SString(tag.substr(blank + 1)), matches);
    for (const SString& m : matches) {
        int eq = m.find('=');
        SString value = m.mid(eq + 2, m.getLength() - eq - 3);
        if (options_ & 1) applyReplaces(value);
        value.htmlDecode();
        if (!attributes_) attributes_ = std::make_unique<SMapStringToString>();
        attributes_->set(m.left(eq), value);
    }
    return true;
}

void SXmlTag::parseChildren(Source& src, int begin, int end) {
    if (parsed_) return;
    parsed_ = true;
    const std::string& t = src.text;
    if (depth_ + 1 >= maxDepth) {
        if (end > begin)
            text_ = SString(t.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
        globalDebug().print(
            SString::printf("SXmlTag::parse(..) mehr als %d Ebenen: der Inhalt von ", maxDepth) + name_ +
            " bleibt ungelesen");
        return;
    }
    int q = begin;
    SXmlTag* last = nullptr;
    while (q >= 0 && q < end) {
        std::size_t lt = t.find('<', static_cast<std::size_t>(q));
        std::size_t gt = lt == npos ? npos : t.find('>', lt + 1);
        if (lt == npos || gt == npos || lt >= static_cast<std::size_t>(end)) {
            text_ = SString(t.substr(static_cast<std::size_t>(q), static_cast<std::size_t>(end - q)));
            // Decoded once here, so reading the text twice gives the same result.
            text_.htmlDecode();
            break;
        }
        last = new SXmlTag(this, last, options_);
        q = last->parseElement(src, static_cast<int>(lt));
    }
    // Mixed content keeps only the elements.
    if (firstChild_) text_.clear();
}

void SXmlTag::parseIfPostponed() {
    if (parsed_) return;
    std::string raw = std::move(text_.str());
    text_.clear();
    Source src(raw);
    parseChildren(src, 0, static_cast<int>(raw.size()));
}

void SXmlTag::readReplaces(const std::string& content) {
    // Line by line "key = value"; a line without "=" is all key.
    for (std::size_t start = 0; start < content.size();) {
        std::size_t lineEnd = content.find('\n', start);
        if (lineEnd == npos) lineEnd = content.size();
        std::string_view line(content.data() + start, lineEnd - start);
        start = lineEnd + 1;
        std::size_t eq = line.find('=');
        SString key(line.substr(0, eq));
        SString value(eq == npos ? std::string_view() : line.substr(eq + 1));
        key.trim();
        value.trim();
        if (key.isEmpty()) continue;
        if (!replaces_) replaces_ = std::make_unique<SMapStringToString>();
        replaces_->set(key, value);
    }
}

void SXmlTag::applyReplaces(SString& value) const {
    for (const SXmlTag* tag = this; tag; tag = tag->parent_) {
        if (!tag->replaces_) continue;
        for (const auto& [key, by] : *tag->replaces_) {
            if (by.size() > key.size()) {
                // Nested tables could otherwise multiply a value's length level by level.
                std::size_t count = 0;
                for (std::size_t p = value.str().find(key.str()); p != npos;
                     p = value.str().find(key.str(), p + key.size()))
                    ++count;
                if (value.size() + count * (by.size() - key.size()) >
                    static_cast<std::size_t>(maxReplacedLength)) {
                    globalDebug().print("SXmlTag::parse(..) Ersetzung von " + key +
                                        " ausgelassen: der Wert w\xFC"
                                        "rde zu lang");
                    continue;
                }
            }
            value.replaceAll(key, by);
        }
    }
}

int SXmlTag::findEndTag(const SString& text, const SString& name, int position) {
    if (text.size() >= static_cast<std::size_t>(INT_MAX / 2)) return -1;
    return EndTagFinder(text.str()).findDirect(name, position);
}

SXmlTag::EndTagFinder::EndTagFinder(const std::string& text) : lower_(lowered(text)) {}

// An open tag whose name ends at delimiter (a blank or ">") counts unless it is self-closing.
// close caches the first ">" at or after an earlier delimiter; delimiters only move forward.
bool SXmlTag::EndTagFinder::isCounted(std::size_t delimiter, std::size_t& close, bool& closeKnown) const {
    if (lower_[delimiter] == '>') return true;
    if (!closeKnown || close < delimiter) {
        close = lower_.find('>', delimiter);
        closeKnown = true;
    }
    return close == npos || lower_[close - 1] != '/';
}

int SXmlTag::EndTagFinder::findDirect(const SString& name, int position) const {
    if (position < 0) position = 0;
    const std::string lname = lowered(name.str());
    const std::string endPattern = "</" + lname + ">";
    const std::string openPattern = "<" + lname;
    const std::size_t from = static_cast<std::size_t>(position);

    int end = findBytes(lower_, endPattern, from);
    if (end < 0) return -1;
    std::size_t close = 0;
    bool closeKnown = false;
    auto counts = [&](std::size_t o) {
        std::size_t behind = o + openPattern.size();
        if (behind >= lower_.size() || (lower_[behind] != ' ' && lower_[behind] != '>')) return false;
        return isCounted(behind, close, closeKnown);
    };
    std::size_t o = from;
    while (true) {
        int open = findBytes(lower_, openPattern, o);
        while (open >= 0 && open < end && !counts(static_cast<std::size_t>(open)))
            open = findBytes(lower_, openPattern, static_cast<std::size_t>(open) + 1);
        if (open < 0 || open >= end) return end;
        // An inner element of the same name: the end tag found is its own, look further.
        end = findBytes(lower_, endPattern, static_cast<std::size_t>(end) + endPattern.size());
        if (end < 0) return -1;
        o = static_cast<std::size_t>(open) + 1;
    }
}

void SXmlTag::EndTagFinder::buildIndex() {
    indexed_ = true;
    const std::string& t = lower_;
    const std::size_t n = t.size();
    std::size_t close = 0;
    bool closeKnown = false;
    for (std::size_t o = t.find('<'); o != npos; o = t.find('<', o + 1)) {
        // As an open tag, "<" names the text up to the first blank or ">". A "<" inside ends
        // the scan (such names are collected by findScanned), so every byte is looked at once.
        std::size_t k = o + 1;
        while (k < n && t[k] != ' ' && t[k] != '>' && t[k] != '<') ++k;
        if (k < n && t[k] != '<' && isCounted(k, close, closeKnown))
            names_[t.substr(o + 1, k - o - 1)].opens.push_back(static_cast<int>(o));
        // As an end tag, "</" names the text up to ">"; a name never holds a blank.
        if (o + 1 < n && t[o + 1] == '/') {
            std::size_t k2 = o + 2;
            while (k2 < n && t[k2] != '>' && t[k2] != '<' && t[k2] != ' ') ++k2;
            if (k2 < n && t[k2] == '>')
                names_[t.substr(o + 2, k2 - o - 2)].ends.push_back(static_cast<int>(o));
        }
    }
}

// Collects the open tags up to the next end tag and that end tag; false when there is none.
bool SXmlTag::EndTagFinder::scanFurther(Scan& scan, const std::string& name) {
    if (scan.complete) return false;
    const std::string endPattern = "</" + name + ">";
    const std::string openPattern = "<" + name;
    int end = findBytes(lower_, endPattern, scan.scanned);
    if (end < 0) {
        scan.complete = true;
        return false;
    }
    const std::size_t limit = static_cast<std::size_t>(end);
    // The open tag found behind the last end tag is kept, so no stretch is searched twice.
    int o = scan.nextOpen == -2 ? findBytes(lower_, openPattern, scan.scanned) : scan.nextOpen;
    for (; o >= 0 && static_cast<std::size_t>(o) <= limit;
         o = findBytes(lower_, openPattern, static_cast<std::size_t>(o) + 1)) {
        std::size_t behind = static_cast<std::size_t>(o) + openPattern.size();
        if (behind < lower_.size() && (lower_[behind] == ' ' || lower_[behind] == '>') &&
            isCounted(behind, scan.close, scan.closeKnown))
            scan.opens.push_back(o);
    }
    scan.nextOpen = o;
    scan.ends.push_back(end);
    scan.scanned = limit + 1;
    return true;
}

int SXmlTag::EndTagFinder::findScanned(const std::string& name, std::size_t position) {
    auto [it, fresh] = scans_.try_emplace(name);
    Scan& scan = it->second;
    if (fresh || position < scan.base || position > scan.scanned) {
        // Searches go forward through a text; one outside what was collected begins anew.
        scan = Scan();
        scan.base = scan.scanned = position;
    }
    auto j = static_cast<std::size_t>(
        std::lower_bound(scan.ends.begin(), scan.ends.end(), static_cast<int>(position)) - scan.ends.begin());
    auto i = static_cast<std::size_t>(
        std::lower_bound(scan.opens.begin(), scan.opens.end(), static_cast<int>(position)) -
        scan.opens.begin());
    while (true) {
        if (j >= scan.ends.size() && !scanFurther(scan, name)) return -1;
        if (j >= scan.ends.size()) continue;
        if (i >= scan.opens.size() || scan.opens[i] >= scan.ends[j]) return scan.ends[j];
        ++i;
        ++j;
    }
}

int SXmlTag::EndTagFinder::find(const SString& name, int position) {
    if (position < 0) position = 0;
    if (static_cast<std::size_t>(position) > lower_.size()) return -1;
    if (name.find('<') >= 0) return findScanned(lowered(name.str()), static_cast<std::size_t>(position));
    if (!indexed_) buildIndex();
    auto it = names_.find(lowered(name.str()));
    if (it == names_.end()) return -1;
    const std::vector<int>& opens = it->second.opens;
    const std::vector<int>& ends = it->second.ends;
    // Every open tag before the end tag found moves the end on by one.
    auto j = static_cast<std::size_t>(std::lower_bound(ends.begin(), ends.end(), position) - ends.begin());
    auto i = static_cast<std::size_t>(std::lower_bound(opens.begin(), opens.end(), position) - opens.begin());
    while (j < ends.size()) {
        if (i >= opens.size() || opens[i] >= ends[j]) return ends[j];
        ++i;
        ++j;
    }
    return -1;
}
