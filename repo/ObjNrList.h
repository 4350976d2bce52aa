// An ordered list of object numbers, the result of relation lookups.
#pragma once

#include <cstdint>

#include "foundation/SLists.h"

class ObjNrList : public SObject {
public:
    S_CLASSNAME(ObjNrList)

    // Appends a number; with unique set a number already in the list is not added again.
    // Returns the index of the number.
    int add(int32_t objNr, bool unique = false);
    // The number at an index; a bad index shows the list error and gives the nearest valid
    // entry (0 when the list is empty).
    int32_t getAt(int index) const;
    int getSize() const { return static_cast<int>(items_.size()); }
    bool removeAt(int index);
    void removeAll() { items_.clear(); }
    int find(int32_t objNr) const;

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<int32_t> items_;
};
