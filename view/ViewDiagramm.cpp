#include "view/ViewDiagramm.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "foundation/SDebug.h"
#include "foundation/SRegExp.h"
#include "repo/ViewElementData.h"
#include "view/KeloPainter.h"
#include "view/KeloProjectData.h"
#include "view/Painter_Oszi.h"
#include "view/UniedViewWindow.h"

ViewDiagramm::~ViewDiagramm() {
    removeObjects();
}

void ViewDiagramm::removeObjects() {
    objects_.removeAll();
    diagrammElement_ = nullptr;
}

void ViewDiagramm::clear() {
    whenIdle([this] { removeObjects(); });
}

void ViewDiagramm::whenIdle(std::function<void()> job) {
    if (dispatching_ > 0)
        pending_.push_back(std::move(job));
    else
        job();
}

bool ViewDiagramm::loadDiagramm(int32_t n, KeloProjectData* project) {
    globalDebug().printf("ViewDiagramm::loadDiagramm(%d)", n);
    if (project) project_ = project;
    if (!project_) return false;
    if (dispatching_ > 0) {
        whenIdle([this, n] {
            load(n);
            if (window_) window_->invalidateAll();
        });
        return true;
    }
    return load(n);
}

void ViewDiagramm::keepForReload() {
    for (ViewDiagrammObject* object : objects_) {
        auto* oszi = dynamic_cast<Painter_Oszi*>(object->getPainter());
        if (oszi && object->getElement()) carried_[object->getElement()->getObjNr()] = oszi->carryOut();
    }
    carriedDiagram_ = diagrammNr_;
}

bool ViewDiagramm::load(int32_t n) {
    // The same diagram loaded again: its oscilloscopes' samples, kept runs and frozen pictures
    // go over to the new painters of the same elements.
    if (n == diagrammNr_ && objects_.getSize() > 0) keepForReload();
    std::map<int32_t, Painter_Oszi::Carried> carried;
    if (n == carriedDiagram_) carried.swap(carried_);
    carried_.clear();
    removeObjects();
    diagrammNr_ = n;
    RepoProject& repo = project_->getRepo();
    diagrammElement_ = repo.getBaseList().find(n);
    if (!diagrammElement_) return false;
    ObjNrList children;
    repo.getRelations().getChilds(n, children);
    for (int32_t child : children) {
        auto* object = new ViewDiagrammObject;
        objects_.add(object);
        object->setProject(project_);
        object->setElement(child);
        auto found = carried.find(child);
        auto* oszi = dynamic_cast<Painter_Oszi*>(object->getPainter());
        if (found != carried.end() && oszi) oszi->carryIn(std::move(found->second));
    }
    return true;
}

bool ViewDiagramm::reload() {
    return loadDiagramm(diagrammNr_);
}

void ViewDiagramm::paint(SDrawDevice& device) {
    for (ViewDiagrammObject* object : objects_) object->paint(device);
}

SSize ViewDiagramm::getExtent() const {
    // y points upward: the objects lie below the origin, their lowest edge at the smaller y.
    // The margin the diagram leaves left of and above its objects is given right and below too,
    // so a fitted diagram keeps its frame on every side.
    SSize extent;
    int32_t left = INT32_MAX;
    int32_t top = INT32_MAX;
    for (const ViewDiagrammObject* object : objects_) {
        const ViewElementData* element = object->getElement();
        if (!element) continue;
        const SRect& r = element->getClientRect();
        extent.cx = std::max({extent.cx, r.x, r.x + r.width});
        extent.cy = std::max({extent.cy, -r.y, -(r.y + r.height)});
        left = std::min({left, r.x, r.x + r.width});
        top = std::min({top, -r.y, -(r.y + r.height)});
    }
    if (extent.cx > 0 && left > 0 && left < extent.cx) extent.cx += left;
    if (extent.cy > 0 && top > 0 && top < extent.cy) extent.cy += top;
    return extent;
}

void ViewDiagramm::update() {
    std::vector<ViewDiagrammObject*> changed;
    std::vector<Painter_Oszi*> began;
    for (ViewDiagrammObject* object : objects_) {
        if (object->update()) changed.push_back(object);
        auto* oszi = dynamic_cast<Painter_Oszi*>(object->getPainter());
        if (oszi && oszi->beganReceiving()) began.push_back(oszi);
    }
    // An oscilloscope whose half cycle began ends the one of every other oscilloscope that was
    // still receiving: charging and discharging follow each other.
    if (!began.empty()) {
        for (ViewDiagrammObject* object : objects_) {
            auto* oszi = dynamic_cast<Painter_Oszi*>(object->getPainter());
            if (!oszi || std::find(began.begin(), began.end(), oszi) != began.end()) continue;
            if (oszi->otherHalfBegan() && std::find(changed.begin(), changed.end(), object) == changed.end())
                changed.push_back(object);
        }
    }
    if (!window_) return;
    for (ViewDiagrammObject* object : changed)
        if (object->getElement()) window_->invalidate(object->getElement()->getClientRect());
}

bool ViewDiagramm::handleEvent(SEvent& event) {
    // A handler may ask for a new load (a button whose command reloads the diagram); it runs
    // once the objects are done with the event.
    ++dispatching_;
    bool taken = false;
    for (int i = objects_.getSize() - 1; i >= 0 && !taken && pending_.empty(); --i)
        taken = objects_.getAt(i)->onEvent(event) != 0;
    if (--dispatching_ == 0) {
        // A job may queue another one.
        while (!pending_.empty()) {
            std::vector<std::function<void()>> jobs;
            jobs.swap(pending_);
            for (auto& job : jobs) job();
        }
    }
    return taken;
}

ViewDiagrammObject* ViewDiagramm::findObject(int32_t objNr) const {
    for (ViewDiagrammObject* object : objects_)
        if (object->getElement() && object->getElement()->getObjNr() == objNr) return object;
    return nullptr;
}

int ViewDiagramm::findObjects(ViewDiagrammObjectPointerList& list, const SString& text, int patternFlag,
                              int searchFlag) const {
    if (searchFlag == 0) return 0;
    SRegExp expression;
    if (patternFlag && !expression.setExpression(text)) return 0;
    int taken = 0;
    SStringList groups;
    for (int i = objects_.getSize() - 1; i >= 0; --i) {
        ViewDiagrammObject* object = objects_.getAt(i);
        const ViewElementData* element = object->getElement();
        if (!element) continue;
        const SString shortName = element->getShortName();
        const SString name = element->getName();
        bool match;
        if (patternFlag)
            match = expression.findOne(shortName, groups) >= 0 || expression.findOne(name, groups) >= 0;
        else
            match = shortName == text || name == text;
        if (!match) continue;
        list.add(object);
        ++taken;
    }
    return taken;
}
