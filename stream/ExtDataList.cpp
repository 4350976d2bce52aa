#include "stream/ExtDataList.h"

#include "foundation/SLists.h"

int ExtDataList::indexOf(const SString& name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i]->name == name) return static_cast<int>(i);
    return -1;
}

void ExtDataList::set(const SString& name, ExtData* channel) {
    *lookup(name, true) = channel;
}

bool ExtDataList::get(const SString& name, ExtData*& out) const {
    const int i = indexOf(name);
    out = i < 0 ? nullptr : entries_[static_cast<std::size_t>(i)]->channel;
    return i >= 0;
}

ExtData** ExtDataList::lookup(const SString& name, bool create) {
    const int i = indexOf(name);
    if (i >= 0) return &entries_[static_cast<std::size_t>(i)]->channel;
    if (!create) return nullptr;
    entries_.push_back(std::make_unique<Entry>(Entry{name, nullptr}));
    return &entries_.back()->channel;
}

bool ExtDataList::remove(const SString& name) {
    const int i = indexOf(name);
    if (i < 0) return false;
    entries_.erase(entries_.begin() + i);
    return true;
}

bool ExtDataList::checkIndex(int index, const char* operation) const {
    if (index >= 0 && index < getCount()) return true;
    showListRangeError(getClassName(), operation, index, getCount());
    return false;
}

SString ExtDataList::getNameAt(int index) const {
    return checkIndex(index, "getNameAt") ? entries_[static_cast<std::size_t>(index)]->name : SString();
}

ExtData* ExtDataList::getPointerAt(int index) const {
    return checkIndex(index, "getPointerAt") ? entries_[static_cast<std::size_t>(index)]->channel : nullptr;
}
