#include "gui/SDiagramWindow.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QByteArray>
#include <QPainter>
#include <QWidget>

#include "gui/SQtDrawDevice.h"

void SDiagramWindow::setMapping(double zoom, double originX, double originY) {
    zoom_ = zoom > 0.0 && std::isfinite(zoom) ? zoom : 1.0;
    originX_ = std::isfinite(originX) ? originX : 0.0;
    originY_ = std::isfinite(originY) ? originY : 0.0;
}

double SDiagramWindow::getDpi() const {
    QWidget* widget = getWidget();
    return widget ? widget->logicalDpiX() : 96.0;
}

double SDiagramWindow::getFitFactor() const {
    QWidget* widget = getWidget();
    const SSize extent = onDiagramExtent();
    if (!widget || extent.cx <= 0 || extent.cy <= 0 || widget->width() <= 0 || widget->height() <= 0) return 1.0;
    const double natural = getDpi() / 2540.0;
    return std::min(widget->width() / (extent.cx * natural), widget->height() / (extent.cy * natural));
}

SDiagramWindow::Mapping SDiagramWindow::mapping() const {
    const double fit = getFitFactor();
    Mapping m{zoom_ * fit, originX_, originY_};
    QWidget* widget = getWidget();
    const SSize extent = onDiagramExtent();
    if (!widget || fit == 1.0 || extent.cx <= 0 || extent.cy <= 0) return m;
    // The spare pixels beside or below the fitted extent, half on each side, in diagram units
    // at the scale in use, so zooming in keeps the same centre offset on the screen.
    const double natural = getDpi() / 2540.0;
    const double spareX = widget->width() - extent.cx * natural * fit;
    const double spareY = widget->height() - extent.cy * natural * fit;
    const double s = m.zoom * natural;
    m.originX += spareX / 2.0 / s;
    m.originY -= spareY / 2.0 / s;
    return m;
}

SPoint SDiagramWindow::toDiagram(int x, int y) const {
    const Mapping m = mapping();
    const double s = m.zoom * getDpi() / 2540.0;
    return SPoint{static_cast<int32_t>(std::lround(x / s - m.originX)),
                  static_cast<int32_t>(std::lround(-y / s - m.originY))};
}

QRect SDiagramWindow::toPixels(const SRect& units) const {
    const Mapping m = mapping();
    const double s = m.zoom * getDpi() / 2540.0;
    const double x1 = (units.x + m.originX) * s;
    const double x2 = (static_cast<double>(units.x) + units.width + m.originX) * s;
    const double y1 = -(units.y + m.originY) * s;
    const double y2 = -(static_cast<double>(units.y) + units.height + m.originY) * s;
    const int left = static_cast<int>(std::floor(std::min(x1, x2))) - 1;
    const int top = static_cast<int>(std::floor(std::min(y1, y2))) - 1;
    const int right = static_cast<int>(std::ceil(std::max(x1, x2))) + 1;
    const int bottom = static_cast<int>(std::ceil(std::max(y1, y2))) + 1;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

void SDiagramWindow::invalidateUnits(const SRect& units) {
    if (QWidget* widget = getWidget()) widget->update(toPixels(units));
}

int SDiagramWindow::onCreate() {
    getWidget()->setFocusPolicy(Qt::StrongFocus);
    return 0;
}

void SDiagramWindow::onPaint(QPainter& painter, const SRect& area) {
    SQtDrawDevice device(painter, getDpi(), QRect(area.x, area.y, area.width, area.height));
    const Mapping m = mapping();
    device.setDiagramMapping(m.zoom, m.originX, m.originY);
    onDiagramPaint(device);
}

QImage SDiagramWindow::renderImage(double factor) {
    QWidget* widget = getWidget();
    if (!widget || !(factor > 0.0) || !std::isfinite(factor)) return {};
    const QSize size(static_cast<int>(std::lround(widget->width() * factor)),
                     static_cast<int>(std::lround(widget->height() * factor)));
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    SQtDrawDevice device(painter, getDpi() * factor);
    const Mapping m = mapping();
    device.setDiagramMapping(m.zoom, m.originX, m.originY);
    onDiagramPaint(device);
    return image;
}

std::string SDiagramWindow::renderPng(double factor) {
    const QImage image = renderImage(factor);
    if (image.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return {};
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int SDiagramWindow::onMouseEvent(SGuiEvent& event) {
    event.point = toDiagram(event.point.x, event.point.y);
    return onDiagramMouse(event);
}
