// The toolkit window of a diagram: paints the diagram and hands it the mouse and the keys.
#pragma once

#include "gui/SDiagramWindow.h"
#include "view/UniedViewWindow.h"
#include "view/ViewHostWindow.h"

class DiagramWindow : public SDiagramWindow, public ViewHostWindow {
public:
    S_CLASSNAME(DiagramWindow)

    explicit DiagramWindow(UniedViewWindow& view) : view_(view) {}
    // The widget goes while the diagram still exists.
    ~DiagramWindow() override { destroyWindow(); }

    void invalidate(const SRect& area) override { invalidateUnits(area); }
    void invalidateAll() override { SWindow::invalidate(); }
    void setCursor(int cursorId) override { SWindow::setCursor(cursorId); }
    void setMapping(double zoom, double originX, double originY) override {
        SDiagramWindow::setMapping(zoom, originX, originY);
    }
    void setBackgroundColor(uint32_t color) override { SWindow::setBackgroundColor(color); }

    UniedViewWindow& getView() { return view_; }

protected:
    // The diagram's objects fill the window.
    SSize onDiagramExtent() const override { return view_.getDiagramm().getExtent(); }
    void onDiagramPaint(SDrawDevice& device) override { view_.paint(device); }
    int onDiagramMouse(SGuiEvent& event) override { return view_.onMouse(event); }
    int onKeyDown(int virtualKey, uint32_t keyState) override { return view_.onKeyDown(virtualKey, keyState); }

private:
    UniedViewWindow& view_;
};
