#include "foundation/SFileFind.h"

#include <algorithm>

#include "foundation/SFileSystem.h"
#include "platform/FileOps.h"

bool SFileFind::findFirst(const SString& pattern) {
    entries_.clear();
    current_ = 0;
    const std::string& p = pattern.str();
    std::size_t slash = p.find_last_of('/');
    dir_ = SString(slash == std::string::npos ? std::string() : p.substr(0, slash + 1));
    std::string mask = slash == std::string::npos ? p : p.substr(slash + 1);
    for (const auto& e : platform::listDirectory(dir_.isEmpty() ? std::string(".") : dir_.str(), mask))
        entries_.emplace_back(SString(e.name), e.directory);
    // Directory order is arbitrary; a sorted order makes runs repeatable.
    std::sort(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return !entries_.empty();
}

bool SFileFind::findNext() {
    if (current_ < entries_.size()) ++current_;
    return current_ < entries_.size();
}

SString SFileFind::getName() const { return current_ < entries_.size() ? entries_[current_].first : SString(); }

SString SFileFind::getPath() const { return current_ < entries_.size() ? dir_ + entries_[current_].first : SString(); }

bool SFileFind::isDirectory() const { return current_ < entries_.size() && entries_[current_].second; }

bool SFileFind::isDots() const {
    SString n = getName();
    return n == "." || n == "..";
}
