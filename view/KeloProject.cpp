#include "view/KeloProject.h"

#include "view/KeloPainter.h"

KeloProject::~KeloProject() {
    // The windows' objects point into the repository and the factory.
    windows_.removeAll();
}

bool KeloProject::openProject(const SString& spec) {
    onProjectOpen();
    const bool ok = data_.getRepo().openProject(spec);
    if (!ok) closeProject();
    return ok;
}

void KeloProject::closeProject() {
    if (windows_.getSize() > 0) onCloseViewWindows();
    windows_.removeAll();
    data_.getRepo().close();
    onProjectClose();
}

bool KeloProject::reloadProject(const SString& spec) {
    // Asked for from a button of a diagram, the reload waits until that diagram's objects are
    // done with the click.
    for (UniedViewWindow* window : windows_) {
        if (window->getDiagramm().isDispatching()) {
            window->getDiagramm().whenIdle([this, spec] { reloadProject(spec); });
            return true;
        }
    }
    // What the oscilloscopes show and keep goes over to the reloaded diagram.
    for (UniedViewWindow* window : windows_) {
        window->getDiagramm().keepForReload();
        window->getDiagramm().clear();
    }
    data_.getRepo().close();
    const bool ok = data_.getRepo().openProject(spec);
    for (UniedViewWindow* window : windows_) window->loadDiagramm(window->getDiagramm().getDiagrammNr());
    onProjectReloaded();
    return ok;
}

bool KeloProject::createDiagrammWindow(int32_t objNr, int x, int y, int width, int height, bool visible) {
    auto* window = new UniedViewWindow;
    windows_.add(window);
    const bool loaded = window->loadDiagramm(objNr, &data_);
    window->setBackgroundColor(diagramBackground);
    window->create(onCreateViewHost(*window, x, y, width, height, visible));
    return loaded;
}

UniedViewWindow* KeloProject::getFirstViewWindow() const {
    return windows_.getSize() > 0 ? windows_.getAt(0) : nullptr;
}

KeloPainter* KeloProject::findPainter(int32_t objNr) const {
    UniedViewWindow* window = getFirstViewWindow();
    ViewDiagrammObject* object = window ? window->getDiagramm().findObject(objNr) : nullptr;
    return object ? object->getPainter() : nullptr;
}

bool KeloProject::sendToObject(int32_t objNr, int32_t code) {
    KeloPainter* painter = findPainter(objNr);
    if (!painter) return false;
    SEvent event;
    event.type = eventApplication;
    event.code = code;
    painter->onEvent(event);
    return true;
}
