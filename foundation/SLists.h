// Ordered lists that grow on demand and report out-of-range access.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/SGeometry.h"
#include "foundation/SString.h"

// Shows the list error for an index outside 0..size-1 (0..size for insertAt).
void showListRangeError(const char* className, const char* operation, int requested, int size);

// Common operations of the lists; out-of-range access shows a message box: insertAt then
// inserts nothing and returns -1, removeAt removes nothing and getAt yields the last element
// (or an empty value when the list is empty).
template <typename T>
class SList : public SObject {
public:
    int getSize() const { return static_cast<int>(items_.size()); }
    bool isEmpty() const { return items_.empty(); }
    int add(const T& item) {
        items_.push_back(item);
        return getSize() - 1;
    }
    int insertAt(int index, const T& item) {
        if (index < 0 || index > getSize()) {
            showListRangeError(getClassName(), "insertAt", index, getSize() + 1);
            return -1;
        }
        items_.insert(items_.begin() + index, item);
        return index;
    }
    const T& getAt(int index) const {
        if (index < 0 || index >= getSize()) {
            showListRangeError(getClassName(), "getAt", index, getSize());
            if (items_.empty()) return empty_;
            return items_.back();
        }
        return items_[static_cast<std::size_t>(index)];
    }
    bool setAt(int index, const T& item) {
        if (index < 0 || index >= getSize()) {
            showListRangeError(getClassName(), "setAt", index, getSize());
            return false;
        }
        items_[static_cast<std::size_t>(index)] = item;
        return true;
    }
    bool removeAt(int index) {
        if (index < 0 || index >= getSize()) {
            showListRangeError(getClassName(), "removeAt", index, getSize());
            return false;
        }
        items_.erase(items_.begin() + index);
        return true;
    }
    void removeAll() { items_.clear(); }
    int find(const T& item) const {
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == item) return static_cast<int>(i);
        return -1;
    }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    const std::vector<T>& items() const { return items_; }

protected:
    std::vector<T> items_;
    inline static const T empty_{};
};

// Pointers the list does not own: its owner deletes the elements.
class SPointerList : public SList<void*> {
public:
    S_CLASSNAME(SPointerList)
};

class SStringList : public SList<SString> {
public:
    S_CLASSNAME(SStringList)
    // Splits a text at every separator; an empty text gives an empty list.
    static SStringList split(const SString& text, const SString& separator);
    SString join(const SString& separator) const;
};

class SNumList : public SList<int32_t> {
public:
    S_CLASSNAME(SNumList)
};

class SPointList : public SList<SPoint> {
public:
    S_CLASSNAME(SPointList)
};

// A typed list of owned objects over a vector of pointers: the list deletes its elements.
template <typename T>
class SOwningList : public SObject {
public:
    SOwningList() = default;
    SOwningList(const SOwningList&) = delete;
    SOwningList& operator=(const SOwningList&) = delete;
    ~SOwningList() override { removeAll(); }
    int getSize() const { return static_cast<int>(items_.size()); }
    int add(T* item) {
        items_.push_back(item);
        return getSize() - 1;
    }
    T* getAt(int index) const {
        if (index < 0 || index >= getSize()) {
            showListRangeError(getClassName(), "getAt", index, getSize());
            return items_.empty() ? nullptr : items_.back();
        }
        return items_[static_cast<std::size_t>(index)];
    }
    bool removeAt(int index) {
        if (index < 0 || index >= getSize()) {
            showListRangeError(getClassName(), "removeAt", index, getSize());
            return false;
        }
        delete items_[static_cast<std::size_t>(index)];
        items_.erase(items_.begin() + index);
        return true;
    }
    void removeAll() {
        for (T* item : items_) delete item;
        items_.clear();
    }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<T*> items_;
};
