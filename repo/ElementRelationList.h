// Parent-to-children relations of repository elements (which view elements a diagram shows).
#pragma once

#include <cstdint>
#include <vector>

#include "repo/ObjNrList.h"

// One record per parent, in the order they were added: parent number, child count n and the n
// child numbers, all 32-bit words one after the other.
class ElementRelationList : public SObject {
public:
    S_CLASSNAME(ElementRelationList)

    // Reads a section body: lines "parent=child,child,...", trimmed, empty lines skipped. A
    // line whose parent is below 100 ends the load with false; the records before it stay.
    bool load(const SString& sectionText);
    // Appends a record; the children text is split at "," and each part read as an integer.
    // A parent below 100 is refused (false).
    bool addChild(int32_t parent, const SString& children);
    // Appends the children (100 and above) of the first record of that parent to the list; a
    // record whose first child is 0 gives nothing. Without a record the list stays unchanged.
    // Returns false when the parent has no record.
    bool getChilds(int32_t parent, ObjNrList& childs) const;
    // The parents of all records, in record order.
    void getParents(ObjNrList& parents) const;
    // Every child number of the first record of that parent as written, small ones included.
    bool getRecord(int32_t parent, ObjNrList& childs) const;
    int getRecordCount() const;
    void removeAll() { words_.clear(); }

private:
    // Index of the first record of that parent in words_, or -1.
    long findRecord(int32_t parent) const;

    std::vector<int32_t> words_;
};

// The containment relation of the repository's "ContainingList" section.
class ContainingList : public ElementRelationList {
public:
    S_CLASSNAME(ContainingList)
};
