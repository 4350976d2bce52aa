// A clickable button: sends its "ClickEvent" to the project's event manager.
#pragma once

#include "view/KeloPainter.h"
#include "view/PainterButton.h"

// Mouse events arrive with points relative to the element's top-left corner; the click itself
// arrives as the application event 10000 from the diagram object. Events 10003 and 10004
// disable and enable the button.
class Painter_Button : public KeloPainter {
public:
    S_CLASSNAME(Painter_Button)

    static constexpr const char* defaultClickEvent = "ButtonClick";

    // Caption, looks, click event name, rect.
    void onInit() override;
    // Always false: the button never stops an event from reaching the objects below it.
    bool handleEvent(SEvent& event) override;
    void paint(SDrawDevice& device) override;
    // Sends the click event to the project's event manager.
    virtual void onButtonClick();

    const SString& getText() const { return text_; }
    const PainterButton& getButton() const { return button_; }

private:
    PainterButton button_;
    SString text_;
};
