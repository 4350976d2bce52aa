// A framed, filled rectangle with a centred text: the look of buttons.
#pragma once

#include <cstdint>

#include "foundation/SGeometry.h"
#include "view/PainterFont.h"

class SDrawDevice;

class PainterRectStyle : public SObject {
public:
    S_CLASSNAME(PainterRectStyle)

    // "width|top|right|bottom|left|fill", colours as "#RRGGBB" (or any integer form); an empty
    // token keeps its field. Short forms: "width|edge|fill" gives four edges of one colour;
    // "width|light|dark|fill" gives light top and left edges, dark right and bottom edges.
    void loadStyle(const SString& style);
    // The fill inside the border, the four border strips (the side strips own the corners),
    // then the text centred in the inner rectangle.
    void draw(SDrawDevice& device, const SRect& rect, const SString& text) const;

    PainterFont font;
    uint32_t top = 0;
    uint32_t right = 0;
    uint32_t bottom = 0;
    uint32_t left = 0;
    uint32_t fill = 0x00FFFFFF;
    int32_t borderWidth = 50;
};
