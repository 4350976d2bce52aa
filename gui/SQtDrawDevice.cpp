#include "gui/SQtDrawDevice.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygonF>

#include "gui/SColorMap.h"
#include "gui/SQtString.h"

namespace {

QRectF logicalRect(const SRect& r) {
    return QRectF(r.x, r.y, r.width, r.height).normalized();
}

QTransform toQTransform(const SXForm& x) {
    return QTransform(x.m11, x.m12, x.m21, x.m22, x.dx, x.dy);
}

}  // namespace

SQtDrawDevice::SQtDrawDevice(QPainter& painter, double dpi, const QRect& paintArea)
    : painter_(painter), dpi_(dpi), paintArea_(paintArea) {
    if (dpi_ <= 0.0) dpi_ = painter.device() ? painter.device()->logicalDpiX() : 96.0;
    if (paintArea_.isEmpty() && painter.device())
        paintArea_ = QRect(0, 0, painter.device()->width(), painter.device()->height());
    painter_.save();
    apply();
}

SQtDrawDevice::~SQtDrawDevice() {
    painter_.restore();
}

void SQtDrawDevice::setPixelMapping() {
    diagram_ = false;
    zoom_ = 1.0;
    originX_ = originY_ = 0.0;
    apply();
}

void SQtDrawDevice::setDiagramMapping(double zoom, double originX, double originY) {
    diagram_ = true;
    zoom_ = zoom > 0.0 ? zoom : 1.0;
    originX_ = originX;
    originY_ = originY;
    apply();
}

QTransform SQtDrawDevice::fullTransform() const {
    QTransform mapping;
    if (diagram_) {
        const double scale = zoom_ * dpi_ / 2540.0;
        mapping = QTransform::fromTranslate(originX_, originY_) * QTransform::fromScale(scale, -scale);
    }
    return toQTransform(world_) * mapping;
}

void SQtDrawDevice::apply() {
    painter_.setTransform(fullTransform());
}

QPointF SQtDrawDevice::toDevice(double x, double y) const {
    return fullTransform().map(QPointF(x, y));
}

SPoint SQtDrawDevice::toLogical(const QPointF& pixel) const {
    bool invertible = false;
    const QPointF p = fullTransform().inverted(&invertible).map(pixel);
    if (!invertible) return SPoint{};
    return SPoint{static_cast<int32_t>(std::lround(p.x())), static_cast<int32_t>(std::lround(p.y()))};
}

double SQtDrawDevice::unitsPerPixel() const {
    return diagram_ ? 2540.0 / (dpi_ * zoom_) : 1.0;
}

void SQtDrawDevice::setWorldTransform(const SXForm& transform) {
    world_ = transform;
    apply();
}

SRect SQtDrawDevice::getPaintArea() const {
    bool invertible = false;
    const QRectF r = fullTransform().inverted(&invertible).mapRect(QRectF(paintArea_));
    if (!invertible) return SRect();
    const auto x = static_cast<int32_t>(std::floor(r.left()));
    const auto w = static_cast<int32_t>(std::ceil(r.right())) - x;
    if (!diagram_) {
        const auto y = static_cast<int32_t>(std::floor(r.top()));
        return SRect(x, y, w, static_cast<int32_t>(std::ceil(r.bottom())) - y);
    }
    // y upward: the rectangle starts at its upper edge and extends downward.
    const auto top = static_cast<int32_t>(std::ceil(r.bottom()));
    return SRect(x, top, w, static_cast<int32_t>(std::floor(r.top())) - top, true);
}

void SQtDrawDevice::fillRect(const SRect& rect, uint32_t color) {
    painter_.fillRect(logicalRect(rect), SColorMap::toQColor(color));
}

void SQtDrawDevice::drawRect(const SRect& rect) {
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(logicalRect(rect));
}

void SQtDrawDevice::setPen(uint32_t color, int width, int style) {
    QPen pen(SColorMap::toQColor(color));
    pen.setWidthF(width > 0 ? width : 0.0);
    switch (style) {
        case penDash:
            pen.setStyle(Qt::DashLine);
            break;
        case penDot:
            pen.setStyle(Qt::DotLine);
            break;
        case penDashDot:
            pen.setStyle(Qt::DashDotLine);
            break;
        case penNull:
            pen.setStyle(Qt::NoPen);
            break;
        default:
            pen.setStyle(Qt::SolidLine);
            break;
    }
    painter_.setPen(pen);
}

void SQtDrawDevice::drawLine(int x1, int y1, int x2, int y2) {
    painter_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    current_ = QPointF(x2, y2);
}

void SQtDrawDevice::moveTo(int x, int y) {
    current_ = QPointF(x, y);
}

void SQtDrawDevice::lineTo(int x, int y) {
    const QPointF to(x, y);
    painter_.drawLine(current_, to);
    current_ = to;
}

void SQtDrawDevice::drawPolyline(const SPointList& points) {
    if (points.getSize() < 2) return;
    QPolygonF polygon;
    for (const SPoint& p : points) polygon << QPointF(p.x, p.y);
    painter_.drawPolyline(polygon);
}

void SQtDrawDevice::setFont(const SString& name, int size, int underline, int italic, int weight) {
    if (!name.isEmpty()) fontName_ = toQString(name);
    if (size != keep && size > 0) fontSize_ = size;
    if (underline != keep) underline_ = underline != 0;
    if (italic != keep) italic_ = italic != 0;
    if (weight != keep && weight > 0) weight_ = weight;
}

void SQtDrawDevice::drawText(const SString& text, const SRect& rect, const SString& align) {
    drawQText(toQString(text), rect, align);
}

void SQtDrawDevice::drawTextUtf8(const std::string& text, const SRect& rect, const SString& align) {
    drawQText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), rect, align);
}

void SQtDrawDevice::drawQText(QString body, const SRect& rect, const SString& align) {
    int flags = 0;
    int horizontal = Qt::AlignLeft;
    int vertical = Qt::AlignTop;
    bool elide = false;
    for (char c : align.str()) {
        switch (c) {
            case 'l':
                horizontal = Qt::AlignLeft;
                break;
            case 'r':
                horizontal = Qt::AlignRight;
                break;
            case 'h':
                horizontal = Qt::AlignHCenter;
                break;
            case 't':
                vertical = Qt::AlignTop;
                break;
            case 'b':
                vertical = Qt::AlignBottom;
                break;
            case 'v':
                vertical = Qt::AlignVCenter;
                flags |= Qt::TextSingleLine;
                break;
            case 'w':
                flags |= Qt::TextWordWrap;
                break;
            case 'e':
                elide = true;
                break;
            case 'x':
                flags |= Qt::TextExpandTabs;
                break;
            default:
                break;
        }
    }
    flags |= horizontal | vertical;

    // Laid out in pixels at the mapped place of the rectangle.
    const QRectF box = fullTransform().mapRect(logicalRect(rect));
    QFont font(fontName_);
    const double pixels = diagram_ ? fontSize_ * dpi_ / 72.0 * zoom_ : fontSize_ * dpi_ / 72.0;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    font.setUnderline(underline_);
    font.setItalic(italic_);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight_, 1, 1000)));

    if (elide) body = QFontMetricsF(font).elidedText(body, Qt::ElideRight, box.width());

    painter_.save();
    painter_.resetTransform();
    painter_.setFont(font);
    if (textBackground_ != noColor)
        painter_.fillRect(painter_.boundingRect(box, flags, body), SColorMap::toQColor(textBackground_));
    painter_.setPen(SColorMap::toQColor(textColor_));
    painter_.drawText(box, flags, body);
    painter_.restore();
}
