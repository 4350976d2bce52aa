#include "view/UniedViewWindow.h"

#include <algorithm>
#include <cstdlib>

#include "gui/SDrawDevice.h"
#include "view/Painter_Oszi.h"

UniedViewWindow::UniedViewWindow() {
    diagramm_.setWindow(this);
}

UniedViewWindow::~UniedViewWindow() {
    stopAllTimers();
    // The toolkit window goes first: it calls into this object while it exists.
    host_.reset();
    diagramm_.clear();
}

void UniedViewWindow::create(std::unique_ptr<ViewHostWindow> host) {
    host_ = std::move(host);
    if (host_) {
        host_->setBackgroundColor(background_);
        host_->setMapping(zoom_, originX_, originY_);
    }
    startTimer(pollPeriodMs);
}

bool UniedViewWindow::loadDiagramm(int32_t objNr, KeloProjectData* project) {
    const bool ok = diagramm_.loadDiagramm(objNr, project);
    invalidateAll();
    return ok;
}

void UniedViewWindow::setBackgroundColor(uint32_t color) {
    background_ = color;
    if (host_) host_->setBackgroundColor(color);
}

void UniedViewWindow::paint(SDrawDevice& device) {
    SRect area = device.getPaintArea();
    if (area.height < 0) {
        area.y += area.height;
        area.height = -area.height;
        area.yUp = false;
    }
    device.fillRect(area, background_);
    diagramm_.paint(device);
}

int UniedViewWindow::onMouse(SGuiEvent& event) {
    event.cursorId = 0;
    const int taken = diagramm_.onEvent(event);
    if (event.code == SGuiEvent::mouseMove && host_) host_->setCursor(event.cursorId ? event.cursorId : cursorArrow);
    return taken;
}

void UniedViewWindow::sendToAll(int32_t code) {
    SEvent event;
    event.type = eventApplication;
    event.code = code;
    diagramm_.handleEvent(event);
    poll();
}

void UniedViewWindow::setFrozen(bool frozen) {
    frozen_ = frozen;
    sendToAll(frozen ? Painter_Oszi::codeFreeze : Painter_Oszi::codeResume);
}

int UniedViewWindow::onKeyDown(int virtualKey, uint32_t keyState) {
    const bool plain = (keyState & (SGuiEvent::keyControl | SGuiEvent::keyShift)) == 0;
    if (plain && virtualKey == keySpace) {
        setFrozen(!frozen_);
        return 1;
    }
    if (plain && virtualKey == keyDelete) {
        sendToAll(Painter_Oszi::codeClearRuns);
        return 1;
    }
    if (!(keyState & SGuiEvent::keyControl) || (keyState & SGuiEvent::keyShift)) return 0;
    switch (virtualKey) {
        case keyMultiply:
            zoom_ = 1.0;
            originX_ = originY_ = 0.0;
            break;
        case keyAdd:
            zoom_ *= 1.1;
            break;
        case keySubtract:
            zoom_ *= 0.9;
            break;
        case keyUp:
            originY_ -= 100;
            break;
        case keyDown:
            originY_ += 100;
            break;
        case keyLeft:
            originX_ += 100;
            break;
        case keyRight:
            originX_ -= 100;
            break;
        default:
            return 0;
    }
    mappingChanged();
    return 1;
}

void UniedViewWindow::mappingChanged() {
    // Held keys must not drive the scale to nothing or to overflowing coordinates.
    zoom_ = std::clamp(zoom_, minZoom, maxZoom);
    if (host_) host_->setMapping(zoom_, originX_, originY_);
    invalidateAll();
}

void UniedViewWindow::poll() {
    diagramm_.update();
}

void UniedViewWindow::onTimer(int id) {
    (void)id;
    poll();
}

void UniedViewWindow::invalidate(const SRect& area) {
    if (host_) host_->invalidate(area);
}

void UniedViewWindow::invalidateAll() {
    if (host_) host_->invalidateAll();
}

int UniedViewWindowList::findObjects(ViewDiagrammObjectPointerList& list, const SString& text, int patternFlag,
                                     int searchFlag) const {
    int count = 0;
    for (UniedViewWindow* window : *this) count += window->getDiagramm().findObjects(list, text, patternFlag, searchFlag);
    return count;
}
