// The drawing device over a QPainter, in pixels or in diagram units.
#pragma once

#include <QFont>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QTransform>

#include "gui/SDrawDevice.h"

class QPainter;

// Two mappings: pixels (y downward, the default) or diagram units: hundredths of a
// millimetre with y upward, scaled by the device's resolution (dpi / 2540 pixels per unit),
// by a zoom factor and shifted by an origin in diagram units:
//   pixel = ((unit + origin) * zoom * dpi / 2540) with y negated.
// The world transform applies before the mapping. Text is laid out in pixels at the mapped
// place of its rectangle, so it stays upright (a rotating world transform does not turn it).
class SQtDrawDevice : public SDrawDevice {
public:
    S_CLASSNAME(SQtDrawDevice)

    // dpi 0 takes the resolution of the painter's device. paintArea is in pixels (empty: the
    // whole device).
    explicit SQtDrawDevice(QPainter& painter, double dpi = 0.0, const QRect& paintArea = QRect());
    ~SQtDrawDevice() override;

    void setPixelMapping();
    void setDiagramMapping(double zoom = 1.0, double originX = 0.0, double originY = 0.0);
    bool isDiagramMapping() const { return diagram_; }
    double getDpi() const { return dpi_; }
    double getZoom() const { return zoom_; }

    // Between logical units and device pixels (world transform and mapping).
    QPointF toDevice(double x, double y) const;
    SPoint toLogical(const QPointF& pixel) const;
    // Logical units per pixel along x and y.
    double unitsPerPixel() const;

    void fillRect(const SRect& rect, uint32_t color) override;
    void drawRect(const SRect& rect) override;
    void setPen(uint32_t color, int width = 0, int style = penSolid) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void drawPolyline(const SPointList& points) override;
    void setFont(const SString& name, int size, int underline = keep, int italic = keep,
                 int weight = keep) override;
    void setTextColor(uint32_t color) override { textColor_ = color; }
    void setTextBackground(uint32_t color) override { textBackground_ = color; }
    void drawText(const SString& text, const SRect& rect, const SString& align) override;
    void drawTextUtf8(const std::string& text, const SRect& rect, const SString& align) override;
    SXForm getWorldTransform() const override { return world_; }
    void setWorldTransform(const SXForm& transform) override;
    SRect getPaintArea() const override;

    // The transform from logical units to pixels.
    QTransform fullTransform() const;

private:
    // Text of either encoding, laid out with the alignment letters.
    void drawQText(QString body, const SRect& rect, const SString& align);
    void apply();

    QPainter& painter_;
    double dpi_;
    QRect paintArea_;
    bool diagram_ = false;
    double zoom_ = 1.0;
    double originX_ = 0.0;
    double originY_ = 0.0;
    SXForm world_;
    QPointF current_;
    QString fontName_ = QStringLiteral("Arial");
    int fontSize_ = 10;
    bool underline_ = false;
    bool italic_ = false;
    int weight_ = 400;
    uint32_t textColor_ = 0;
    uint32_t textBackground_ = noColor;
};
