// A tab control: a row of tabs with titles and small images, one of them selected.
#pragma once

#include <functional>
#include <memory>

#include "foundation/SString.h"

class SWindow;
class QTabBar;

// The control lies inside a window (its parent); the owner places it and shows the pane of the
// selected tab itself.
class STabControl {
public:
    STabControl();
    ~STabControl();
    STabControl(const STabControl&) = delete;
    STabControl& operator=(const STabControl&) = delete;

    // Creates the control in the parent's window, which must exist. selectionChanged runs with
    // the new index whenever the selection changes (a click, setCurrent, the first tab added).
    bool create(SWindow& parent, std::function<void(int)> selectionChanged);
    bool isCreated() const;
    // Edge length in pixels of the tabs' images.
    void setImageSize(int pixels);
    // Adds a tab at the end. An image file that can be read is scaled to the image size, and
    // the colour of its top-left pixel becomes transparent. Returns the index, -1 without control.
    int addTab(const SString& title, const SString& imagePath = SString());
    // Removes a tab; the selection change this causes is not reported.
    void removeTab(int index);
    int getCount() const;
    SString getTitle(int index) const;
    bool hasImage(int index) const;
    // The selected tab, -1 when there is none.
    int getCurrent() const;
    void setCurrent(int index);
    // The height the control wants (0 without control).
    int getHeight() const;
    // Lies along the parent's top edge, width wide, in front of the parent's other children.
    void placeAtTop(int width);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
