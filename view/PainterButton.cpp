#include "view/PainterButton.h"

#include "repo/ElementData.h"

void PainterButton::load(const ElementData& element, const SString& prefix) {
    struct Look {
        const char* name;
        const char* defaultStyle;
        PainterRectStyle* style;
    };
    const Look looks[] = {{"default", defaultStyleText, &defaultStyle},
                          {"selected", selectedStyleText, &selectedStyle},
                          {"disabled", disabledStyleText, &disabledStyle}};
    for (const Look& look : looks) {
        look.style->loadStyle(
            element.getAttributeString(prefix + "ButtonStyle_" + look.name, SString(std::string(look.defaultStyle))));
        if (look.style == &disabledStyle) look.style->font.color = disabledTextColor;
        look.style->font.load(element, prefix + "ButtonFont_" + look.name + "_");
    }
}

void PainterButton::draw(SDrawDevice& device, const SRect& area, const SString& text) const {
    if (isDisabled())
        disabledStyle.draw(device, area, text);
    else if (isPressed())
        selectedStyle.draw(device, area, text);
    else
        defaultStyle.draw(device, area, text);
}
