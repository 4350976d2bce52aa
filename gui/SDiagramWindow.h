// A window that shows a drawing in diagram units: hundredths of a millimetre, y upward.
#pragma once

#include <QImage>
#include <QRect>

#include <string>

#include "gui/SDrawDevice.h"
#include "gui/SWindow.h"

// Paints through an SQtDrawDevice in the diagram mapping with a zoom factor and an origin
// offset, and hands mouse events on with their points converted to diagram units:
//   pixel = (unit + origin) * zoom * dpi / 2540, with y negated.
// When the diagram names its extent (onDiagramExtent), zoom 1 is the scale at which that area
// fills the window with its aspect ratio kept, centred in the window: a maximized window on a
// projector shows large curves and text, and the zoom keys scale from there. Without an
// extent, zoom 1 is the diagram at its natural size.
// The window takes the keyboard focus when clicked, so its key hooks see the keys.
class SDiagramWindow : public SWindow {
public:
    S_CLASSNAME(SDiagramWindow)

    void setMapping(double zoom, double originX, double originY);
    double getZoom() const { return zoom_; }
    double getOriginX() const { return originX_; }
    double getOriginY() const { return originY_; }
    // Resolution in dots per inch (the widget's, or 96 before it exists).
    double getDpi() const;
    // The factor that makes the diagram's extent fill the window (1 without extent or widget).
    double getFitFactor() const;

    // A window pixel in diagram units.
    SPoint toDiagram(int x, int y) const;
    // A rectangle in diagram units as window pixels (grown by a pixel against rounding).
    QRect toPixels(const SRect& units) const;
    // Repaints the pixels of a rectangle in diagram units.
    void invalidateUnits(const SRect& units);

    // The window's picture painted again at factor times the screen resolution (2 for
    // worksheets): same layout, sharper lines and text. Null without a widget.
    QImage renderImage(double factor);
    // That picture as the bytes of a PNG file; empty when there is none.
    std::string renderPng(double factor);

protected:
    // The area the diagram covers from its origin in diagram units (width to the right, depth
    // downward); zero: none, no fitting.
    virtual SSize onDiagramExtent() const { return {}; }
    // The diagram's drawing; the background is filled already.
    virtual void onDiagramPaint(SDrawDevice& device) { (void)device; }
    // A mouse event with its point in diagram units; nonzero: handled.
    virtual int onDiagramMouse(SGuiEvent& event) {
        (void)event;
        return 0;
    }

    int onCreate() override;
    void onPaint(QPainter& painter, const SRect& area) override;
    int onMouseEvent(SGuiEvent& event) override;

private:
    // The mapping a paint and a mouse event use: the set zoom times the fit factor, and the
    // origin moved so the fitted diagram sits in the middle of the window.
    struct Mapping {
        double zoom = 1.0;
        double originX = 0.0;
        double originY = 0.0;
    };
    Mapping mapping() const;

    double zoom_ = 1.0;
    double originX_ = 0.0;
    double originY_ = 0.0;
};
