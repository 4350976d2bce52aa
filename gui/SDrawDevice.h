// What painters draw with: a small device interface in logical units.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/SGeometry.h"
#include "foundation/SLists.h"
#include "foundation/SString.h"

// An affine transform as the world transform of a device holds it:
// x' = x * m11 + y * m21 + dx,  y' = x * m12 + y * m22 + dy.
struct SXForm {
    double m11 = 1.0;
    double m12 = 0.0;
    double m21 = 0.0;
    double m22 = 1.0;
    double dx = 0.0;
    double dy = 0.0;
    friend bool operator==(const SXForm&, const SXForm&) = default;
};

// Colours are 0x00BBGGRR. Rectangles are x, y, width, height with y the edge the rectangle
// starts from; in y-upward units a rectangle that extends downward has a negative height.
class SDrawDevice : public SObject {
public:
    S_CLASSNAME(SDrawDevice)

    // Leaves a font property as it is.
    static constexpr int keep = -2;
    static constexpr uint32_t noColor = 0xFFFFFFFF;
    enum PenStyle : int { penSolid = 0, penDash = 1, penDot = 2, penDashDot = 3, penNull = 5 };

    virtual void fillRect(const SRect& rect, uint32_t color) = 0;
    // The outline with the current pen; the inside stays.
    virtual void drawRect(const SRect& rect) = 0;
    // Width in logical units; 0 draws one pixel wide at any scale.
    virtual void setPen(uint32_t color, int width = 0, int style = penSolid) = 0;
    virtual void drawLine(int x1, int y1, int x2, int y2) = 0;
    virtual void moveTo(int x, int y) = 0;
    // A line from the current position, which then moves to the end point.
    virtual void lineTo(int x, int y) = 0;
    virtual void drawPolyline(const SPointList& points) = 0;
    // Size in points; an empty name or keep leaves that property.
    virtual void setFont(const SString& name, int size, int underline = keep, int italic = keep,
                         int weight = keep) = 0;
    virtual void setTextColor(uint32_t color) = 0;
    // noColor draws text without background.
    virtual void setTextBackground(uint32_t color) = 0;
    // Alignment letters, anywhere in the code: "l" left, "r" right, "h" centred horizontally,
    // "t" top, "b" bottom, "v" centred vertically on a single line, "w" word wrap, "e" shortened
    // with an ellipsis, "x" tabs expanded. Without letters: left and top.
    virtual void drawText(const SString& text, const SRect& rect, const SString& align) = 0;
    // The same for UTF-8 text: results and read-outs with letters that Windows-1252 lacks
    // (the Greek tau, Delta).
    virtual void drawTextUtf8(const std::string& text, const SRect& rect, const SString& align) = 0;
    virtual SXForm getWorldTransform() const = 0;
    virtual void setWorldTransform(const SXForm& transform) = 0;
    // The area to paint, in logical units.
    virtual SRect getPaintArea() const = 0;
};
