#include "view/PainterList.h"

int PainterList::add(KeloPainter* painter, bool unique) {
    if (unique) {
        const int at = find(painter);
        if (at >= 0) return at;
    }
    return SList<KeloPainter*>::add(painter);
}
