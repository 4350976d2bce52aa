#include "repo/ViewElementList.h"

ViewElementData* ViewElementList::find(int32_t objNr) const {
    for (ViewElementData* e : *this)
        if (e->getObjNr() == objNr) return e;
    for (ViewElementData* e : *this)
        if (e->getObjNr() == 101) return e;
    return nullptr;
}
