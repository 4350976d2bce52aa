// The state and the three looks of a button.
#pragma once

#include "foundation/SEvent.h"
#include "view/PainterRectStyle.h"

class ElementData;

class PainterButton : public SObject {
public:
    S_CLASSNAME(PainterButton)

    // Bits of state.
    static constexpr int statePressed = 0x01;
    static constexpr int stateDisabled = 0x04;
    static constexpr int stateInitial = 0x20;

    static constexpr const char* defaultStyleText = "50|#DDDDFF|#3333FF|#BBBBFF";
    static constexpr const char* selectedStyleText = "50|#3333FF|#DDDDFF|#BBBBFF";
    static constexpr const char* disabledStyleText = "50|#CCCCCC|#333333|#999999";
    static constexpr uint32_t disabledTextColor = 0x00CCCCCC;

    // Reads each look (default, selected, disabled): its style prefix + "ButtonStyle_" + look,
    // then its font prefix + "ButtonFont_" + look + "_" + font key.
    void load(const ElementData& element, const SString& prefix);
    // The disabled look when disabled, else the pressed look when pressed, else the default.
    void draw(SDrawDevice& device, const SRect& rect, const SString& text) const;

    bool isPressed() const { return state & statePressed; }
    bool isDisabled() const { return state & stateDisabled; }

    int state = stateInitial;
    // Relative to the element: x 0, y 0, the element's width and height.
    SRect rect{0, 0, 0, 0, true};
    SEvent clickEvent;
    PainterRectStyle defaultStyle;
    PainterRectStyle disabledStyle;
    PainterRectStyle selectedStyle;
};
