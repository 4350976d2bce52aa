#include "multiwindow/SMultiClientSeparator.h"

#include <cstdlib>

#include "foundation/SDebug.h"
#include "gui/SColorMap.h"
#include "gui/SCursor.h"
#include "gui/SGuiEvent.h"
#include "multiwindow/SMultiWindowSplitter.h"

SMultiClientSeparator::SMultiClientSeparator() {
    setBackgroundColor(SColorMap::rgb(230, 230, 230));
}

SMultiClientSeparator::~SMultiClientSeparator() {
    destroyWindow();
}

int SMultiClientSeparator::onCreate() {
    if (drag) setCursor(direction == 'v' ? SCursor::sizeVertical : SCursor::sizeHorizontal);
    return 0;
}

int SMultiClientSeparator::onMouseEvent(SGuiEvent& event) {
    if (!splitter_) return 0;
    const SRect here = getWindowRect();
    // The splitter works in its own client coordinates.
    const SPoint inSplitter{event.point.x + here.x, event.point.y + here.y};
    switch (event.code) {
        case SGuiEvent::leftButtonDown:
            globalDebug().printf("SMultiClientSeparator::onLButtonDown(..) startDrag: %d,%d", event.point.x,
                                 event.point.y);
            if (!drag || splitter_->indexOfSeparator(this) <= 0) return 0;
            pressed_ = true;
            pressPoint_ = event.point;
            return 1;
        case SGuiEvent::mouseMove:
            if (drag) event.cursorId = direction == 'v' ? SCursor::sizeVertical : SCursor::sizeHorizontal;
            if (splitter_->getDragSeparator() == this) {
                splitter_->dragTo(inSplitter);
                return 1;
            }
            // The drag starts once the mouse has moved far enough with the button held, as the
            // platform's drag detection decides between a click and a drag.
            if (pressed_ && (event.keyState & SGuiEvent::keyLeftButton) &&
                std::abs(event.point.x - pressPoint_.x) + std::abs(event.point.y - pressPoint_.y) >=
                    dragDistance()) {
                pressed_ = false;
                if (splitter_->startDrag(this)) splitter_->dragTo(inSplitter);
                return 1;
            }
            return 0;
        case SGuiEvent::leftButtonUp:
            pressed_ = false;
            if (splitter_->getDragSeparator() == this) {
                splitter_->endDrag();
                return 1;
            }
            return 0;
        default:
            return 0;
    }
}
