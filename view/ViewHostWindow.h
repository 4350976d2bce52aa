// What a diagram window needs from the window system: the toolkit side of a UniedViewWindow.
#pragma once

#include <cstdint>

#include "foundation/SGeometry.h"

// Implemented by the GUI layer (a window that paints and forwards mouse and key events in
// diagram units). All coordinates here are diagram units.
class ViewHostWindow {
public:
    virtual ~ViewHostWindow() = default;
    // Repaints the area of a rectangle in diagram units.
    virtual void invalidate(const SRect& area) = 0;
    // Repaints the whole window.
    virtual void invalidateAll() = 0;
    // The mouse cursor by its id (32512 arrow, 32649 hand, 32648 "no").
    virtual void setCursor(int cursorId) = 0;
    // The mapping of diagram units to the window: a zoom factor and an origin offset (diagram
    // units), applied from the next paint and mouse event on.
    virtual void setMapping(double zoom, double originX, double originY) = 0;
    virtual void setBackgroundColor(uint32_t color) = 0;
};
