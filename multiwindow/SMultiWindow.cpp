#include "multiwindow/SMultiWindow.h"

#include "foundation/SXmlTag.h"

SMultiWindow::SMultiWindow() {
    addStyle(styleClipChildren);
    mainSplitter.setOwner(this);
    mainSplitter.setLevel(0);
}

SMultiWindow::~SMultiWindow() {
    // While the splitters still exist, so the windows go children first.
    destroyWindow();
}

bool SMultiWindow::createLayout(const SString& layoutXml) {
    if (!isCreated()) return false;
    if (!mainSplitter.isCreated() && !mainSplitter.createSplitter(this, "mainSplitter", getClientRect()))
        return false;
    if (layout.parse(layoutXml) == 0) return false;
    return mainSplitter.split(layout.getTag("Splitter"));
}

void SMultiWindow::onSize(int width, int height) {
    SFrameWindow::onSize(width, height);
    if (mainSplitter.isCreated()) mainSplitter.move(0, 0, width, height);
}
