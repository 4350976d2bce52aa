#include "repo/ElementRelationList.h"

#include "foundation/SDebug.h"
#include "repo/ElementData.h"

bool ElementRelationList::load(const SString& sectionText) {
    SDebug& debug = globalDebug();
    debug.print(SString("RelationSection: ") + sectionText);
    for (SString line : SStringList::split(sectionText, "\n")) {
        line.trim();
        debug.print(SString("Relation: ") + line);
        if (line.isEmpty()) continue;
        const int32_t parent = line.cutFront("=").toInt();
        if (!addChild(parent, line)) return false;
    }
    return true;
}

bool ElementRelationList::addChild(int32_t parent, const SString& children) {
    if (parent < ElementData::minObjNr) return false;
    const SStringList parts = SStringList::split(children, ",");
    words_.push_back(parent);
    words_.push_back(parts.getSize());
    for (const SString& part : parts) {
        const int32_t child = part.toInt();
        globalDebug().printf("addChild [%d]%d", parent, child);
        words_.push_back(child);
    }
    return true;
}

long ElementRelationList::findRecord(int32_t parent) const {
    // Records are searched in the order they were added: the first one of a parent counts.
    std::size_t i = 0;
    while (i + 1 < words_.size()) {
        if (words_[i] == parent) return static_cast<long>(i);
        i += 2 + static_cast<std::size_t>(words_[i + 1]);
    }
    return -1;
}

bool ElementRelationList::getChilds(int32_t parent, ObjNrList& childs) const {
    const long r = findRecord(parent);
    if (r < 0) {
        globalDebug().printf("ERROR on ElementRelationList::getChilds(%d); no ParentEntry Found", parent);
        return false;
    }
    const auto start = static_cast<std::size_t>(r);
    const int32_t n = words_[start + 1];
    // A record that starts with child 0 stands for "no children".
    if (n > 0 && words_[start + 2] != 0) {
        for (int32_t k = 0; k < n; ++k) {
            const int32_t child = words_[start + 2 + static_cast<std::size_t>(k)];
            if (child >= ElementData::minObjNr) childs.add(child);
        }
    }
    globalDebug().printf("getChilds(%d): %d", parent, n);
    return true;
}

bool ElementRelationList::getRecord(int32_t parent, ObjNrList& childs) const {
    const long r = findRecord(parent);
    if (r < 0) return false;
    const auto start = static_cast<std::size_t>(r);
    const int32_t n = words_[start + 1];
    for (int32_t k = 0; k < n; ++k) childs.add(words_[start + 2 + static_cast<std::size_t>(k)]);
    return true;
}

void ElementRelationList::getParents(ObjNrList& parents) const {
    for (std::size_t i = 0; i + 1 < words_.size(); i += 2 + static_cast<std::size_t>(words_[i + 1]))
        parents.add(words_[i]);
}

int ElementRelationList::getRecordCount() const {
    ObjNrList parents;
    getParents(parents);
    return parents.getSize();
}
