#include "view/PainterFont.h"

#include "gui/SDrawDevice.h"
#include "repo/ElementData.h"

void PainterFont::load(const ElementData& element, const SString& prefix) {
    name = element.getAttributeString(prefix + "FontName", name);
    size = element.getAttributeInt(prefix + "FontSize", size);
    weight = element.getAttributeInt(prefix + "FontWeight", weight);
    color = static_cast<uint32_t>(element.getAttributeInt(prefix + "FontColor", static_cast<int32_t>(color)));
    backColor =
        static_cast<uint32_t>(element.getAttributeInt(prefix + "FontColorBack", static_cast<int32_t>(backColor)));
    underline = element.getAttributeInt(prefix + "FontUnderline", underline);
    italic = element.getAttributeInt(prefix + "FontItalic", italic);
}

void PainterFont::apply(SDrawDevice& device) const {
    device.setTextColor(color);
    device.setTextBackground(backColor);
    device.setFont(name, size, underline, italic, weight);
}
