#include "view/ViewDiagrammControl.h"

#include <algorithm>

#include "foundation/SDebug.h"

bool ViewDiagrammControl::contains(const SRect& rect, const SPoint& point) {
    const int64_t x1 = rect.x;
    const int64_t x2 = static_cast<int64_t>(rect.x) + rect.width;
    const int64_t y1 = rect.y;
    const int64_t y2 = static_cast<int64_t>(rect.y) + rect.height;
    return point.x >= std::min(x1, x2) && point.x <= std::max(x1, x2) && point.y >= std::min(y1, y2) &&
           point.y <= std::max(y1, y2);
}

int ViewDiagrammControl::onEvent(SEvent& event) {
    if (rect_ && event.type == eventGui) {
        auto& gui = static_cast<SGuiEvent&>(event);
        const bool inside = contains(*rect_, gui.point);
        if (gui.code == SGuiEvent::leftButtonDown && inside) {
            flags_ |= flagPressed;
        } else if (gui.code == SGuiEvent::leftButtonUp) {
            const bool click = inside && (flags_ & flagPressed);
            flags_ &= ~flagPressed;
            if (click) {
                SEvent clickEvent;
                clickEvent.type = eventApplication;
                clickEvent.code = codeClick;
                handleEvent(clickEvent);
            }
        }
    }
    return handleEvent(event) ? 1 : 0;
}

bool ViewDiagrammControl::handleEvent(SEvent& event) {
    globalDebug().printf("VDC-Event: %d : %d", event.type, event.code);
    return false;
}
