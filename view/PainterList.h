// The painters a factory made, in order; the list does not delete them.
#pragma once

#include "foundation/SLists.h"

class KeloPainter;

class PainterList : public SList<KeloPainter*> {
public:
    S_CLASSNAME(PainterList)

    // Appends the painter; with unique set an entry already there is reused. Returns its index.
    int add(KeloPainter* painter, bool unique = false);
    // A bad index shows the list error and gives the last painter (nullptr when empty).
    KeloPainter* getAt(int index) const { return SList<KeloPainter*>::getAt(index); }
};
