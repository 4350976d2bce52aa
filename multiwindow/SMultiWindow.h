// A frame window whose client area is divided into panes by a tree of splitters.
#pragma once

#include "foundation/SXmlData.h"
#include "gui/SFrameWindow.h"
#include "multiwindow/SMultiWindowSplitter.h"

// The layout is XML: a root "MultiWindow" holding one "Splitter" (or a root "Splitter"),
// whose children are "Window" panes (name, size; tabTitle in tab splitters), nested
// "Splitter" elements (name, size, direction) and optional "Separator" elements (size in
// pixels, drag="yes") in front of the pane they belong to. The owner supplies each pane's
// window in onGetSplitWindowData.
class SMultiWindow : public SFrameWindow {
public:
    S_CLASSNAME(SMultiWindow)

    SMultiWindow();
    ~SMultiWindow() override;

    // Builds the panes; call it once the frame's widget exists. false when the frame has no
    // widget, the document was parsed before, or the splitter element is invalid. A missing
    // end tag still builds what was read.
    bool createLayout(const SString& layoutXml);
    // Called once per "Window" element while the panes are built, with the entry's name set;
    // store the pane's window in entry->window (create it with this frame as parent).
    virtual void onGetSplitWindowData(SMultiClientWindowEntry* entry) { (void)entry; }

    bool showSplitWindow(const SString& name) { return mainSplitter.showSplitWindow(name); }
    SWindow* getSplitWindow(const SString& name) { return mainSplitter.getSplitWindow(name); }
    SMultiWindowSplitter* getSplitter(const SString& name) { return mainSplitter.getSplitter(name); }
    void removeSplitWindow(const SString& name, bool destroy) {
        mainSplitter.removeSplitWindow(name, destroy);
    }

    SMultiWindowSplitter& getMainSplitter() { return mainSplitter; }
    SXmlData& getLayout() { return layout; }

    // The main splitter covers the whole client area.
    void onSize(int width, int height) override;

protected:
    SMultiWindowSplitter mainSplitter;
    SXmlData layout;
};
