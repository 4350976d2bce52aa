// A diagram of the repository: its view elements as objects with their painters.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "view/Painter_Oszi.h"
#include "view/ViewDiagrammObjectList.h"

class BaseElementData;
class KeloProjectData;
class SDrawDevice;
class UniedViewWindow;

// Objects paint in list order (later ones over earlier ones); events are offered from the last
// to the first, the one on top first.
class ViewDiagramm : public ViewDiagrammControl {
public:
    S_CLASSNAME(ViewDiagramm)

    ViewDiagramm() = default;
    ~ViewDiagramm() override;

    // Replaces the objects by the children of diagram element n. Without project data (given or
    // stored) or without the diagram element: false. Asked for while an event is being handled,
    // the load waits until the handling is over (see whenIdle) and answers true.
    bool loadDiagramm(int32_t n, KeloProjectData* project = nullptr);
    // Loads the same diagram again.
    bool reload();
    // Removes every object (their painters go back to the factory); waits like loadDiagramm.
    void clear();
    // Before the repository is reloaded: the oscilloscopes' samples, kept runs, frozen pictures
    // and cursors are kept, and the next load of this diagram gives them to the new painters.
    void keepForReload();

    // Runs the job now, or, while the objects are handling an event, as soon as they are done:
    // a button whose command reloads the repository must not delete the objects that are still
    // on the call stack. Once a job waits, the event goes to no further object.
    void whenIdle(std::function<void()> job);
    bool isDispatching() const { return dispatching_ > 0; }

    void paint(SDrawDevice& device);
    // How far the objects reach from the diagram's origin, in diagram units: the width to the
    // rightmost edge and the depth to the lowest edge, each with the margin the objects keep
    // from the origin (both 0 without objects). The window scales this area to fill itself.
    SSize getExtent() const;
    // Polls every object; each changed object's rectangle is repainted in the window.
    void update();
    // Offers the event to the objects from the last to the first until one takes it.
    bool handleEvent(SEvent& event) override;

    // The first object whose element has that number, or nullptr.
    ViewDiagrammObject* findObject(int32_t objNr) const;
    // Objects (last to first) whose element's short name, or else name, equals the text, or
    // with the pattern flag matches it as a regular expression ("/pattern/modifiers"). A search
    // flag of 0 takes nothing. Returns the number appended to the list.
    int findObjects(ViewDiagrammObjectPointerList& list, const SString& text, int patternFlag, int searchFlag) const;

    void setWindow(UniedViewWindow* window) { window_ = window; }
    UniedViewWindow* getWindow() const { return window_; }
    const ViewDiagrammObjectList& getObjects() const { return objects_; }
    KeloProjectData* getProject() const { return project_; }
    int32_t getDiagrammNr() const { return diagrammNr_; }
    BaseElementData* getDiagrammElement() const { return diagrammElement_; }

private:
    bool load(int32_t n);
    void removeObjects();

    UniedViewWindow* window_ = nullptr;
    ViewDiagrammObjectList objects_;
    KeloProjectData* project_ = nullptr;
    BaseElementData* diagrammElement_ = nullptr;
    int32_t diagrammNr_ = 0;
    // What keepForReload kept, by element number, for the diagram carriedDiagram_.
    std::map<int32_t, Painter_Oszi::Carried> carried_;
    int32_t carriedDiagram_ = 0;
    int dispatching_ = 0;
    std::vector<std::function<void()>> pending_;
};
