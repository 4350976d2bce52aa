// One view element on a diagram, with the painter the factory made for it.
#pragma once

#include <cstdint>

#include "view/ViewDiagrammControl.h"

class KeloPainter;
class KeloProjectData;
class SDrawDevice;
class ViewElementData;

class ViewDiagrammObject : public ViewDiagrammControl {
public:
    S_CLASSNAME(ViewDiagrammObject)

    ViewDiagrammObject() = default;
    // Hands the painter back to the factory.
    ~ViewDiagrammObject() override;

    void setProject(KeloProjectData* project) { project_ = project; }
    // The view element of that number (the repository falls back to element 101) and its
    // painter. False, and the object stays empty, when there is no such element.
    bool setElement(int32_t objNr);
    ViewElementData* getElement() const { return element_; }
    KeloPainter* getPainter() const { return painter_; }

    void paint(SDrawDevice& device);
    // The object's own pending repaint, else the painter's update; resets both.
    bool update();
    // Mouse events go to the painter's handleEvent with points relative to the element's
    // top-left corner (a click reaches it as the application event 10000 made here); other
    // events go to its onEvent as they are. The painter's answer.
    bool handleEvent(SEvent& event) override;

    // Forwarders to the painter that the diagram itself does not use.
    ViewDiagrammObject* hitTest(const SPoint& point);
    void click(int value);

    void setChanged() { changed_ = 1; }

private:
    ViewElementData* element_ = nullptr;
    KeloPainter* painter_ = nullptr;
    KeloProjectData* project_ = nullptr;
    int changed_ = 0;
};
