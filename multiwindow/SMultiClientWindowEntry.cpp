#include "multiwindow/SMultiClientWindowEntry.h"

#include "foundation/SDebug.h"
#include "multiwindow/SMultiWindowSplitter.h"

SMultiClientWindowEntry::~SMultiClientWindowEntry() {
    deinit();
}

void SMultiClientWindowEntry::deinit() {
    if (deinitDone_) return;
    deinitDone_ = true;
    globalDebug().print(SString("SMultiClientWindowEntry::deinit(..) winId=") + name);
    delete splitter;
    splitter = nullptr;
    if (ownsWindow) delete window;
    window = nullptr;
    separator.destroyWindow();
}

SWindow* SMultiClientWindowEntry::getPane() const {
    if (window) return window;
    return splitter;
}

void SMultiClientWindowEntry::move(const SRect& rect) {
    globalDebug().print(SString("SMultiClientWindowEntry::move(..) winId=") + name +
                        SString::printf(", rect=%d,%d,%d,%d", rect.x, rect.y, rect.width, rect.height));
    if (SWindow* pane = getPane()) pane->move(rect);
}
