// The repository's view elements, owned, in file order.
#pragma once

#include "repo/ViewElementData.h"

class ViewElementList : public SOwningList<ViewElementData> {
public:
    S_CLASSNAME(ViewElementList)

    // The first element with that number; without one the first element numbered 101; else
    // nullptr.
    ViewElementData* find(int32_t objNr) const;
};
