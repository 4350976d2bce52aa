// An ordered list of data channels, for painters that draw several of them.
#pragma once

#include "foundation/SLists.h"
#include "stream/ExtData.h"

// Not owning; out-of-range access reports the list error under the name "ExtDataPointerList".
class ExtDataPointerList : public SList<ExtData*> {
public:
    S_CLASSNAME(ExtDataPointerList)

    ExtDataPointerList() { items_.reserve(10); }
};
