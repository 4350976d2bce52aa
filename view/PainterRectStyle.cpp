#include "view/PainterRectStyle.h"

#include "foundation/SDebug.h"
#include "gui/SDrawDevice.h"

namespace {

// Cuts the next token off the text; an empty token leaves the field as it is.
bool nextToken(SString& rest, SString& token) {
    token = rest.cutFront("|");
    return !token.isEmpty();
}

uint32_t colour(const SString& token) {
    return static_cast<uint32_t>(token.toInt());
}

}  // namespace

void PainterRectStyle::loadStyle(const SString& style) {
    globalDebug().print(SString("PainterRectStyle::loadStyle(..): ") + style);
    SString rest = style;
    SString t1, t2, t3, t4, t5, t6;
    if (nextToken(rest, t1)) borderWidth = t1.toInt();
    if (nextToken(rest, t2)) top = colour(t2);
    if (nextToken(rest, t3)) right = colour(t3);
    if (!nextToken(rest, t4)) {
        // Width and two colours: one colour for every edge, the other for the face.
        fill = right;
        left = bottom = right = top;
        globalDebug().printf("PainterRectStyle::loadStyle(..): 3 Werte: %d #%06X #%06X", borderWidth, top, fill);
        return;
    }
    bottom = colour(t4);
    if (!nextToken(rest, t5)) {
        // Width, a light colour, a dark colour and the face.
        fill = colour(t4);
        bottom = right;
        left = top;
        return;
    }
    left = colour(t5);
    if (nextToken(rest, t6)) fill = colour(t6);
}

void PainterRectStyle::draw(SDrawDevice& device, const SRect& rect, const SString& text) const {
    const int32_t w = borderWidth;
    // Heights run downward (negative) in diagram units; the strips follow the rectangle's sign.
    const int32_t down = rect.height < 0 ? -1 : 1;
    const SRect inner(rect.x + w, rect.y + down * w, rect.width - 2 * w, rect.height - down * 2 * w, rect.yUp);
    device.fillRect(inner, fill);
    device.fillRect(SRect(rect.x, rect.y, rect.width, down * w, rect.yUp), top);
    device.fillRect(SRect(rect.x, inner.y + inner.height, rect.width, down * w, rect.yUp), bottom);
    device.fillRect(SRect(rect.x, rect.y, w, rect.height, rect.yUp), left);
    device.fillRect(SRect(inner.x + inner.width, rect.y, w, rect.height, rect.yUp), right);
    font.apply(device);
    device.drawText(text, inner, "hv");
}
