#include "repo/ElementAttributeListe.h"

#include "foundation/SLists.h"

int ElementAttributeListe::indexOf(const SString& key) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].first == key) return static_cast<int>(i);
    return -1;
}

const ElementAttribut& ElementAttributeListe::get(const SString& key) const {
    int i = indexOf(key);
    return i < 0 ? empty_ : *items_[static_cast<std::size_t>(i)].second;
}

ElementAttribut& ElementAttributeListe::getOrAdd(const SString& key) {
    int i = indexOf(key);
    if (i >= 0) return *items_[static_cast<std::size_t>(i)].second;
    items_.emplace_back(key, std::make_unique<ElementAttribut>());
    return *items_.back().second;
}

int ElementAttributeListe::clampIndex(const char* operation, int index) const {
    if (index >= 0 && index < getSize()) return index;
    showListRangeError(getClassName(), operation, index, getSize());
    if (items_.empty()) return -1;
    return index < 0 ? 0 : getSize() - 1;
}

const SString& ElementAttributeListe::getKeyAt(int index) const {
    int i = clampIndex("getKeyAt", index);
    return i < 0 ? emptyKey_ : items_[static_cast<std::size_t>(i)].first;
}

const ElementAttribut& ElementAttributeListe::getAt(int index) const {
    int i = clampIndex("getAt", index);
    return i < 0 ? empty_ : *items_[static_cast<std::size_t>(i)].second;
}

void ElementAttributeListe::load(const SString& sectionBody) {
    for (SString line : SStringList::split(sectionBody, "\n")) {
        line.replaceAll("\r", "");
        const int firstEq = line.find('=');
        if (firstEq < 0) {
            // A line without "=" (an empty one too) names an attribute without a value.
            getOrAdd(line).setNone();
            continue;
        }
        const SString key = line.left(firstEq);
        const SString rest = line.mid(firstEq + 1);
        const int secondEq = rest.find('=');
        // "i", "int", "integer" alike: only the first letter of the type word counts.
        const char typeLetter = rest.getAt(0) == '=' ? '\0' : rest.getAt(0);
        const SString value = secondEq < 0 ? SString() : rest.mid(secondEq + 1);
        getOrAdd(key).setFromText(typeLetter, value);
    }
}
