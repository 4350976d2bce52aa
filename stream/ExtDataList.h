// Channel name -> channel pointer, in insertion order.
#pragma once

#include <memory>
#include <vector>

#include "foundation/SString.h"
#include "stream/ExtData.h"

// Names are compared exactly (case-sensitive); the list is searched linearly (a project has at
// most six channels). The pointers are not owned.
class ExtDataList : public SObject {
public:
    S_CLASSNAME(ExtDataList)

    ExtDataList() = default;
    ExtDataList(const ExtDataList&) = delete;
    ExtDataList& operator=(const ExtDataList&) = delete;

    // Replaces the pointer of a present name, else appends the name.
    void set(const SString& name, ExtData* channel);
    // False, and out = nullptr, when the name is absent.
    bool get(const SString& name, ExtData*& out) const;
    // The cell holding the name's pointer; with create an absent name is appended with nullptr,
    // without it the result is nullptr. The cell stays valid until its name is removed or the
    // list is cleared.
    ExtData** lookup(const SString& name, bool create);
    bool remove(const SString& name);
    int getCount() const { return static_cast<int>(entries_.size()); }
    // Out of range: the list error message, and an empty name or nullptr.
    SString getNameAt(int index) const;
    ExtData* getPointerAt(int index) const;
    void clear() { entries_.clear(); }

private:
    struct Entry {
        SString name;
        ExtData* channel = nullptr;
    };
    int indexOf(const SString& name) const;
    bool checkIndex(int index, const char* operation) const;

    // Each entry on its own, so the cells that lookup hands out do not move when the list grows.
    std::vector<std::unique_ptr<Entry>> entries_;
};
