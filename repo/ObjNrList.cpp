#include "repo/ObjNrList.h"

int ObjNrList::add(int32_t objNr, bool unique) {
    if (unique) {
        int i = find(objNr);
        if (i >= 0) return i;
    }
    items_.push_back(objNr);
    return getSize() - 1;
}

int32_t ObjNrList::getAt(int index) const {
    if (index >= 0 && index < getSize()) return items_[static_cast<std::size_t>(index)];
    showListRangeError(getClassName(), "getAt", index, getSize());
    if (items_.empty()) return 0;
    return index < 0 ? items_.front() : items_.back();
}

bool ObjNrList::removeAt(int index) {
    if (index < 0 || index >= getSize()) {
        showListRangeError(getClassName(), "removeAt", index, getSize());
        return false;
    }
    items_.erase(items_.begin() + index);
    return true;
}

int ObjNrList::find(int32_t objNr) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == objNr) return static_cast<int>(i);
    return -1;
}
