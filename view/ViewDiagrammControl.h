// Common base of the diagram's objects: painters, diagram objects and the diagram itself.
#pragma once

#include "foundation/SEvent.h"
#include "foundation/SGeometry.h"
#include "gui/SGuiEvent.h"

// Detects clicks: a left button that goes down and comes up inside rect becomes an
// application event (type 2, code 10000) that handleEvent sees before the button-up itself.
// Every event then goes to handleEvent.
//
// An event of type eventGui is always an SGuiEvent: whoever makes one makes an SGuiEvent.
class ViewDiagrammControl : public SEventHandler {
public:
    S_CLASSNAME(ViewDiagrammControl)

    // Bit of flags: the left button went down inside rect and has not come up yet.
    static constexpr int flagPressed = 0x01;

    ViewDiagrammControl() = default;
    ViewDiagrammControl(const ViewDiagrammControl&) = delete;
    ViewDiagrammControl& operator=(const ViewDiagrammControl&) = delete;
    ~ViewDiagrammControl() override = default;

    // Click detection, then handleEvent; nonzero when handleEvent took the event.
    int onEvent(SEvent& event) override;
    // Writes the debug line "VDC-Event: type : code" and does not take the event.
    virtual bool handleEvent(SEvent& event);

    // The area that receives clicks (not owned; diagram units), or nullptr.
    SRect* getRect() const { return rect_; }
    void setRect(SRect* rect) { rect_ = rect; }
    int getFlags() const { return flags_; }

    // Whether a point lies in a rectangle, bounds included, whichever way its height runs.
    static bool contains(const SRect& rect, const SPoint& point);

protected:
    SRect* rect_ = nullptr;
    int flags_ = 0;
};
