#include "foundation/SLanguage.h"

namespace {
constexpr std::string_view markers("\xB3\xB3", 2);
}

SLanguage& globalLanguage() {
    static SLanguage language;
    return language;
}

std::string SLanguage::translate(std::string_view literal) {
    std::lock_guard lock(mutex_);
    if (!enabled_ || literal.empty() || !isTagged(literal)) return std::string(literal);
    std::size_t end = literal.find(markers, 2);
    if (end == std::string_view::npos) return std::string(literal.substr(2));
    std::string key(literal.substr(2, end - 2));
    auto it = texts_.find(key);
    // An empty entry is a translation still to be written: the default text stands in, so that
    // no label, button or message comes out blank.
    if (it != texts_.end() && !it->second.empty()) return it->second;
    std::string_view text = literal.substr(end + 2);
    // Each key once: texts drawn on every repaint would otherwise grow the log without end.
    if (!missingKeys_.insert(key).second) return std::string(text);
    missingLog_ += key;
    missingLog_ += markers;
    missingLog_ += text;
    missingLog_ += "\r\n";
    return std::string(text);
}

bool SLanguage::load(std::string_view text) {
    bool wasEnabled;
    {
        std::lock_guard lock(mutex_);
        wasEnabled = enabled_;
        enabled_ = false;
    }
    std::string errors;
    std::vector<std::pair<std::string, std::string>> entries;
    int number = 0;
    while (!text.empty()) {
        ++number;
        std::size_t i = 0;
        while (i < text.size() && static_cast<unsigned char>(text[i]) < 33) ++i;
        text.remove_prefix(i);
        if (text.empty()) break;
        if (text[0] == ';' || text[0] == '#') {
            std::size_t nl = text.find('\n');
            text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
            continue;
        }
        std::size_t end = text.find(markers);
        std::string_view entry = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
        std::size_t eq = entry.find('=');
        std::string_view key = entry.substr(0, eq);
        // An entry that is empty or begins with "=" has no key; it is reported, not stored.
        if (key.empty()) {
            errors += "SLanguage::load(..) Eintrag Nr. " + std::to_string(number) + " hat einen leeren Schl\xFC" "ssel.\r\n";
            continue;
        }
        std::string_view value = eq == std::string_view::npos ? std::string_view() : entry.substr(eq + 1);
        entries.emplace_back(std::string(key), std::string(value));
    }
    std::lock_guard lock(mutex_);
    errorText_ += errors;
    // The first loaded text of a key wins; an empty one is no text yet and gives way to a later one.
    for (auto& [key, value] : entries) {
        auto [it, added] = texts_.emplace(std::move(key), value);
        if (!added && it->second.empty()) it->second = std::move(value);
    }
    enabled_ = wasEnabled;
    return true;
}

void SLanguage::clear() {
    std::lock_guard lock(mutex_);
    texts_.clear();
    language_ = "de";
    errorText_.clear();
    missingLog_.clear();
    missingKeys_.clear();
}

std::string SLanguage::getErrorText() const {
    std::lock_guard lock(mutex_);
    return errorText_;
}

std::string SLanguage::getMissingLog() const {
    std::lock_guard lock(mutex_);
    return missingLog_;
}

std::size_t SLanguage::getEntryCount() const {
    std::lock_guard lock(mutex_);
    return texts_.size();
}
