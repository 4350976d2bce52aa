// The strip in front of a pane of a split window; it can be dragged to resize its neighbours.
#pragma once

#include "gui/SWindow.h"

class SMultiWindowSplitter;

// A child window of its splitter, painted light grey. When drag is set and it is not the
// separator of the splitter's first pane, pressing the left button and moving the mouse beyond
// the platform's drag distance starts a drag in the splitter.
class SMultiClientSeparator : public SWindow {
public:
    S_CLASSNAME(SMultiClientSeparator)

    SMultiClientSeparator();
    ~SMultiClientSeparator() override;

    void setSplitter(SMultiWindowSplitter* splitter) { splitter_ = splitter; }
    SMultiWindowSplitter* getSplitter() const { return splitter_; }

    // Thickness in pixels.
    int size = 0;
    // Whether the user may drag it.
    bool drag = false;
    // The splitter's direction: 'h' side by side (dragged along x), 'v' stacked (along y).
    char direction = 'h';

    int onCreate() override;
    int onMouseEvent(SGuiEvent& event) override;

private:
    SMultiWindowSplitter* splitter_ = nullptr;
    // Left button pressed on a draggable separator, drag not yet confirmed.
    bool pressed_ = false;
    SPoint pressPoint_;
};
