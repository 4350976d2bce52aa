// The window of a diagram: paints it, polls it five times a second, routes mouse events to its
// objects and zooms and scrolls with the keyboard.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/STimer.h"
#include "gui/SGuiEvent.h"
#include "view/ViewDiagramm.h"
#include "view/ViewHostWindow.h"

class SDrawDevice;

// The toolkit window is a ViewHostWindow made by the GUI layer; without one (tests, a
// diagram not shown) everything works except that nothing reaches a screen.
class UniedViewWindow : public STimerEvent {
public:
    S_CLASSNAME(UniedViewWindow)

    static constexpr int pollPeriodMs = 200;
    static constexpr int cursorArrow = 32512;
    // Virtual-key codes of the zoom and scroll keys (with Ctrl, without Shift).
    static constexpr int keyMultiply = 106;  // numeric pad "*": zoom 1 (the diagram fills the window), origin 0, 0
    static constexpr int keyAdd = 107;       // numeric pad "+": zoom in
    static constexpr int keySubtract = 109;  // numeric pad "-": zoom out
    static constexpr int keyLeft = 37;
    static constexpr int keyUp = 38;
    static constexpr int keyRight = 39;
    static constexpr int keyDown = 40;
    // Without modifiers: Space freezes or resumes the oscilloscopes, Delete forgets their kept
    // runs.
    static constexpr int keySpace = 0x20;
    static constexpr int keyDelete = 0x2E;
    static constexpr double minZoom = 0.01;
    static constexpr double maxZoom = 100.0;

    UniedViewWindow();
    ~UniedViewWindow() override;

    // Takes the toolkit window and starts the poll.
    void create(std::unique_ptr<ViewHostWindow> host);
    ViewHostWindow* getHost() const { return host_.get(); }

    // Loads the diagram and repaints.
    bool loadDiagramm(int32_t objNr, KeloProjectData* project = nullptr);
    ViewDiagramm& getDiagramm() { return diagramm_; }
    const ViewDiagramm& getDiagramm() const { return diagramm_; }

    void setBackgroundColor(uint32_t color);
    uint32_t getBackgroundColor() const { return background_; }

    // The paint area of the device filled with the background, then the diagram.
    void paint(SDrawDevice& device);
    // A mouse event with its point in diagram units. On a mouse move the cursor becomes the
    // one the objects named, else the arrow. Nonzero when an object took the event.
    int onMouse(SGuiEvent& event);
    // Ctrl (without Shift) with numeric "*", "+", "-" or an arrow key; Space or Delete without
    // Ctrl and Shift; nonzero when handled.
    int onKeyDown(int virtualKey, uint32_t keyState);
    // Offers an application event with the code to every object (the oscilloscopes take the
    // freeze, resume, evaluate and forget-runs codes; nothing takes them away from the others).
    void sendToAll(int32_t code);
    // The oscilloscopes' display is frozen (Space toggles it).
    bool isFrozen() const { return frozen_; }
    void setFrozen(bool frozen);
    // One poll of the objects: changed ones are repainted.
    void poll();
    void onTimer(int id) override;

    // Repaints an area in diagram units, or everything.
    void invalidate(const SRect& area);
    void invalidateAll();

    double getZoom() const { return zoom_; }
    double getOriginX() const { return originX_; }
    double getOriginY() const { return originY_; }

private:
    void mappingChanged();

    ViewDiagramm diagramm_;
    std::unique_ptr<ViewHostWindow> host_;
    uint32_t background_ = 0x00FFFFFF;
    double zoom_ = 1.0;
    double originX_ = 0.0;
    double originY_ = 0.0;
    bool frozen_ = false;
};

class UniedViewWindowList : public SOwningList<UniedViewWindow> {
public:
    S_CLASSNAME(UniedViewWindowList)

    // Asks every window's diagram in list order; returns the total appended.
    int findObjects(ViewDiagrammObjectPointerList& list, const SString& text, int patternFlag, int searchFlag) const;
};
