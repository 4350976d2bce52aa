#include "app/HtmlWindowList.h"

#include <cstdlib>

#include "foundation/SError.h"
#include "gui/SApplication.h"

HtmlWindow* HtmlWindowList::findById(const SString& winId) const {
    for (HtmlWindow* window : *this)
        if (window->getWinId() == winId) return window;
    return nullptr;
}

HtmlWindow* HtmlWindowList::getById(const SString& winId) const {
    if (HtmlWindow* window = findById(winId)) return window;
    globalError().showMessage(
        SString("ERROR: HtmlWindowList::getById('") + winId + "'): ung\xFCltiger winId !", 0, "Fehler !",
        SError::iconError);
    // The windows go while the toolkit still runs; the global objects (the unpacked resources
    // among them) are cleaned up by the exit.
    globalApplication().shutdown();
    std::exit(1);
}

HtmlWindow* HtmlWindowList::appendNew() {
    auto* window = new HtmlWindow();
    add(window);
    return window;
}

bool HtmlWindowList::allLoaded() const {
    for (const HtmlWindow* page : *this)
        if (!page->isLoaded()) return false;
    return true;
}
