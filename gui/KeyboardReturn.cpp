#include "gui/KeyboardReturn.h"

#include <QApplication>

namespace gui {

KeyboardReturn::KeyboardReturn()
    : window_(QApplication::activeWindow()), focus_(QApplication::focusWidget()) {}

KeyboardReturn::~KeyboardReturn() {
    if (!window_ || !window_->isVisible()) return;
    window_->activateWindow();
    if (focus_ && focus_->window() == window_) focus_->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace gui
