#include "view/Painter_Button.h"

#include "foundation/SDebug.h"
#include "gui/SGuiEvent.h"
#include "repo/ViewElementData.h"
#include "view/KeloProjectData.h"

namespace {

// The cursor ids of a clickable and of a disabled button.
constexpr int cursorHand = 32649;
constexpr int cursorForbidden = 32648;

}  // namespace

void Painter_Button::onInit() {
    BaseElementData* base = getBaseElement();
    text_ = base ? userText(base->getName()) : SString();
    if (element_) button_.load(*element_, SString());
    button_.clickEvent.text = getAttributeString("ClickEvent", SString(std::string(defaultClickEvent)));
    const SRect e = getElementRect();
    button_.rect = SRect(0, 0, e.width, e.height, e.yUp);
}

bool Painter_Button::handleEvent(SEvent& event) {
    if (event.type == eventGui) {
        auto& gui = static_cast<SGuiEvent&>(event);
        if (!contains(button_.rect, gui.point)) return false;
        switch (gui.code) {
            case SGuiEvent::leftButtonDown:
                button_.state |= PainterButton::statePressed;
                gui.target = this;
                setChanged();
                break;
            case SGuiEvent::leftButtonUp:
                button_.state &= ~PainterButton::statePressed;
                setChanged();
                break;
            case SGuiEvent::mouseMove:
                gui.cursorId = button_.isDisabled() ? cursorForbidden : cursorHand;
                break;
            default:
                break;
        }
    } else if (event.type == eventApplication) {
        switch (event.code) {
            case codeDisable:
                button_.state |= PainterButton::stateDisabled;
                setChanged();
                break;
            case codeEnable:
                button_.state &= ~PainterButton::stateDisabled;
                setChanged();
                break;
            case codeClick:
                if (!button_.isDisabled()) onButtonClick();
                break;
            default:
                break;
        }
    }
    return false;
}

void Painter_Button::paint(SDrawDevice& device) {
    if (element_) button_.draw(device, getElementRect(), text_);
}

void Painter_Button::onButtonClick() {
    globalDebug().print(SString("auf Button geclickt: ") + text_);
    if (!project_) return;
    // A copy: a handler may write its result into the event.
    SEvent event = button_.clickEvent;
    project_->getEventManager().send(event);
}
