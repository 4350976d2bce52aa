// Makes the painter of the right kind for a view element and owns every painter it made.
#pragma once

#include "view/PainterList.h"

class KeloPainter;
class KeloProjectData;
class ViewElementData;

// Painter types: 2 seven-segment display, 3 oscilloscope, 5 button, any other a grey box.
class PainterFactory : public SObject {
public:
    S_CLASSNAME(PainterFactory)

    static constexpr int type7Segment = 2;
    static constexpr int typeOszi = 3;
    static constexpr int typeButton = 5;

    PainterFactory() = default;
    PainterFactory(const PainterFactory&) = delete;
    PainterFactory& operator=(const PainterFactory&) = delete;
    // Calls onExit of every painter and deletes it, in list order.
    ~PainterFactory() override;

    void setProject(KeloProjectData* project) { project_ = project; }
    KeloProjectData* getProject() const { return project_; }

    // Makes the painter for the element's painter type, keeps it and runs its init; the painter
    // is returned whatever init answered. nullptr only for a null element.
    KeloPainter* createPainter(ViewElementData* element);
    // Takes a painter back: onExit, then delete. False (with a debug line) for a painter this
    // factory does not hold.
    bool recyclePainter(KeloPainter* painter);
    // The painter class for a painter type, not yet initialised.
    static KeloPainter* makePainter(int painterType);

    const PainterList& getPainters() const { return painters_; }

private:
    KeloProjectData* project_ = nullptr;
    PainterList painters_;
};
