#include "view/ViewDiagrammObject.h"

#include "gui/SGuiEvent.h"
#include "repo/ViewElementData.h"
#include "view/KeloPainter.h"
#include "view/KeloProjectData.h"

ViewDiagrammObject::~ViewDiagrammObject() {
    if (painter_ && project_) project_->getFactory().recyclePainter(painter_);
}

bool ViewDiagrammObject::setElement(int32_t objNr) {
    if (!project_) return false;
    element_ = project_->getRepo().getViewList().find(objNr);
    if (!element_) return false;
    rect_ = &element_->getClientRect();
    painter_ = project_->getFactory().createPainter(element_);
    return true;
}

void ViewDiagrammObject::paint(SDrawDevice& device) {
    if (painter_) painter_->paint(device);
}

bool ViewDiagrammObject::update() {
    bool changed = changed_ != 0;
    changed_ = 0;
    if (!changed && painter_) changed = painter_->update();
    return changed;
}

bool ViewDiagrammObject::handleEvent(SEvent& event) {
    if (!painter_) return false;
    if (event.type != eventGui || !element_) return painter_->onEvent(event) != 0;
    auto& gui = static_cast<SGuiEvent&>(event);
    const SRect& r = element_->getClientRect();
    const SPoint saved = gui.point;
    gui.point.x -= r.x;
    gui.point.y -= r.y;
    // The object has done the click detection in diagram units already. The painter's own
    // detection compares these element-relative points with its rectangle in diagram units; for
    // an element at the diagram's origin they agree, and every click would reach the painter
    // twice (a button would start the measurement twice). So the painter gets the event past its
    // click detection.
    const bool taken = painter_->handleEvent(event);
    gui.point = saved;
    return taken;
}

ViewDiagrammObject* ViewDiagrammObject::hitTest(const SPoint& point) {
    return painter_ && painter_->hitTest(point) ? this : nullptr;
}

void ViewDiagrammObject::click(int value) {
    if (painter_) painter_->onClick(value);
}
