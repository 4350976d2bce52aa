#include "gui/SDiagramWindow.h"

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

double SDiagramWindow::scale() const {
    return zoom_ * getDpi() / 2540.0;
}

SPoint SDiagramWindow::toDiagram(int x, int y) const {
    const double s = scale();
    return SPoint{static_cast<int32_t>(std::lround(x / s - originX_)),
                  static_cast<int32_t>(std::lround(-y / s - originY_))};
}

QRect SDiagramWindow::toPixels(const SRect& units) const {
    const double s = scale();
    const double x1 = (units.x + originX_) * s;
    const double x2 = (static_cast<double>(units.x) + units.width + originX_) * s;
    const double y1 = -(units.y + originY_) * s;
    const double y2 = -(static_cast<double>(units.y) + units.height + originY_) * s;
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
    device.setDiagramMapping(zoom_, originX_, originY_);
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
    device.setDiagramMapping(zoom_, originX_, originY_);
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
