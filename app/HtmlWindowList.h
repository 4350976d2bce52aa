// The HTML page windows of the main window, in the order of the panes.
#pragma once

#include "app/HtmlWindow.h"
#include "foundation/SLists.h"

// Owns its windows: they go with the list.
class HtmlWindowList : public SOwningList<HtmlWindow> {
public:
    S_CLASSNAME(HtmlWindowList)

    // The first window whose pane name is winId. A name without a window is a programming
    // error: the message box says which, and the process ends with exit code 1.
    HtmlWindow* getById(const SString& winId) const;
    // The window of that pane name, or nullptr.
    HtmlWindow* findById(const SString& winId) const;
    // Appends a new window and returns it.
    HtmlWindow* appendNew();
    // Whether every page finished loading at least once.
    bool allLoaded() const;
};
