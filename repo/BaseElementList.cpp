#include "repo/BaseElementList.h"

BaseElementData* BaseElementList::find(int32_t objNr) const {
    for (BaseElementData* e : *this)
        if (e->getObjNr() == objNr) return e;
    // A view element whose base is missing shows element 100 rather than nothing.
    for (BaseElementData* e : *this)
        if (e->getObjNr() == 100) return e;
    return nullptr;
}
