// The repository's base elements, owned, in file order.
#pragma once

#include "repo/BaseElementData.h"

class BaseElementList : public SOwningList<BaseElementData> {
public:
    S_CLASSNAME(BaseElementList)

    // The first element with that number; without one the first element numbered 100; else
    // nullptr.
    BaseElementData* find(int32_t objNr) const;
};
