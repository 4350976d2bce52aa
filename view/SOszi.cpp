#include "view/SOszi.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "foundation/SDebug.h"
#include "view/ValueFormat.h"

namespace {

// Labels with one decimal place: the format of an empty or refused repository format.
constexpr const char* defaultLabelFormat = "%.1f";

// Ticks k x raster stop at the range end; the allowance keeps the last tick of a decimal raster
// (10 x 0.1 lands a little above 1.0 in binary) without reaching the next one.
constexpr double tickAllowance = 1.0e-5;

}  // namespace

int32_t SOszi::toUnits(double value) {
    if (std::isnan(value)) return 0;
    // Within this bound a position plus an offset or margin still fits 32 bits.
    constexpr double limit = 1.0e9;
    if (value > limit) return static_cast<int32_t>(limit);
    if (value < -limit) return static_cast<int32_t>(-limit);
    return static_cast<int32_t>(value);
}

void SOszi::setXRange(float xMinimum, float xMaximum, int relative) {
    xMin = xMinimum;
    xMax = xMaximum;
    xValuesRelative = relative;
}

void SOszi::clear() {
    for (SOsziChannel* channel : channels) channel->values.removeAll();
}

int SOszi::getLabelLength(SString& format, float minimum, float maximum) {
    if (!format.isEmpty() && !ValueFormat::isValid(format)) {
        SDebug& debug = globalDebug();
        if (debug.isOn())
            debug.print(SString("FEHLER: SOszi::getLabelLength(..): unbrauchbares Format '") + format +
                        SString("', es gilt ") + SString(defaultLabelFormat));
    }
    if (format.isEmpty() || !ValueFormat::isValid(format)) format = SString(std::string(defaultLabelFormat));
    const int atMaximum = ValueFormat::format(format, maximum, defaultLabelFormat).getLength();
    const int atMinimum = ValueFormat::format(format, minimum, defaultLabelFormat).getLength();
    return std::max(atMaximum, atMinimum);
}

void SOszi::recalc(SDrawDevice& device, int paintWidth, int paintHeight) {
    SDebug& debug = globalDebug();
    if (debug.isOn())
        debug.print(SString("Oszi::recalc() ") + yText + SString::printf("  paintSize=%d,%d", paintWidth, paintHeight));

    device.setFont(style.fontName, style.fontSize);
    // Character cell of the layout, in diagram units.
    const int cell = 25 * style.fontSize;

    // Automatic limits follow the first channel only.
    yMin = yMinSetting;
    yMax = yMaxSetting;
    const bool autoMin = isOsziAuto(yMin);
    const bool autoMax = isOsziAuto(yMax);
    if (autoMin || autoMax) {
        const SOsziValues* first = channels.getSize() > 0 ? &channels.getAt(0)->values : nullptr;
        if (first == nullptr || first->isEmpty()) {
            if (autoMax) yMax = 1.0F;
            if (autoMin) yMin = 0.0F;
        } else {
            float smallest = (*first)[0].yValue;
            float largest = smallest;
            for (const SOsziValue& value : *first) {
                smallest = std::min(smallest, value.yValue);
                largest = std::max(largest, value.yValue);
            }
            if (autoMin) yMin = smallest;
            if (autoMax) yMax = largest;
        }
    }
    if (yMin == yMax) yMax += 1.0F;

    // Margins: half a character above the plot; below it room for the x labels when the zero
    // line is the plot's bottom edge.
    const int top = std::max(cell / 2 + 50, 100);
    int bottom = top;
    if (yMin == 0.0F) bottom = std::max(cell + 110 + style.tickLength / 2, top);
    dataRect.y = -top;
    dataRect.height = paintHeight + top + bottom;
    yDataZoom = static_cast<float>(static_cast<double>(dataRect.height) / (static_cast<double>(yMax) - yMin));

    yFormat = style.yFormat;
    yLabelLength = getLabelLength(yFormat, yMin, yMax);

    yRasterValue = style.yRasterValue;
    if (isOsziAuto(yRasterValue)) {
        // As many ticks as lines of labels fit; none fitting leaves only the zero tick.
        const int pitch = cell + 300;
        const int n = pitch > 0 ? std::abs(dataRect.height / pitch) : 0;
        yRasterValue = n == 0 ? std::numeric_limits<float>::infinity() : (yMax - yMin) / static_cast<float>(n);
    }
    if (yRasterValue == 0.0F) yRasterValue = 1.0F;

    dataRect.x = cell * yLabelLength + 150;
    dataRect.width = paintWidth - dataRect.x - 100;
    xDataZoom = static_cast<float>(static_cast<double>(dataRect.width) / (static_cast<double>(xMax) - xMin));

    xFormat = style.xFormat;
    xLabelLength = getLabelLength(xFormat, xMin, xMax);

    // An automatic x raster stays at the marker value, so large that no x tick fits.
    xRasterValue = style.xRasterValue;
    if (isOsziAuto(xRasterValue) && debug.isOn())
        debug.print(SString("#### TODO: SOszi:recalc() ... xRasterValue==OSZI_AUTO  ..."));

    if (debug.isOn())
        debug.printf("Oszi::recalc() dataRect=%d,%d,%d,%d", dataRect.x, dataRect.y, dataRect.width,
                     dataRect.height);
}

void SOszi::paint(SDrawDevice& device, const SRect& rect) {
    // Oscilloscope coordinates start at the rectangle's top-left corner.
    const SXForm saved = device.getWorldTransform();
    SXForm moved = saved;
    moved.dx = rect.x * saved.m11 + rect.y * saved.m21 + saved.dx;
    moved.dy = rect.x * saved.m12 + rect.y * saved.m22 + saved.dy;
    device.setWorldTransform(moved);

    device.setFont(style.fontName, style.fontSize, SDrawDevice::keep, SDrawDevice::keep, 400);
    device.setPen(style.axisColor, style.axisPenWidth, SDrawDevice::penSolid);
    device.setTextColor(style.axisColor);
    device.setTextBackground(style.backColor);

    // The zero line: yMax above it, yMin below it, over the whole data height.
    const int y0 = dataRect.y + toUnits(static_cast<double>(dataRect.height) * yMax /
                                        (static_cast<double>(yMax) - yMin));

    device.fillRect(SRect(0, 0, rect.width, rect.height, true), style.backColor);
    paintAxes(device, y0);
    paintYTicks(device, y0);
    if (style.showXRaster == 1) paintXTicks(device, y0);

    paintBehind(device, y0);
    float x0 = 0.0F;
    for (int c = 0; c < channels.getSize(); ++c) {
        SOsziChannel* channel = channels.getAt(c);
        paintCurve(device, shownValues(c), channel->color, y0, x0);
    }
    paintOver(device, y0, x0);

    device.setWorldTransform(saved);
}

void SOszi::paintAxes(SDrawDevice& device, int y0) {
    const int left = dataRect.x;
    const int top = dataRect.y;
    const int width = dataRect.width;
    const int charHeight = 130 * style.fontSize / 4;
    device.drawLine(left, y0, left + std::abs(width), y0);
    device.drawLine(left, top, left, top - std::abs(dataRect.height));
    // The y caption at the top beside the axis, the x caption at the right above the zero line.
    device.drawText(yText, SRect(left + style.tickLength + 50, top, width, -2 * charHeight, true), "lt");
    device.drawText(xText, SRect(left, y0 + charHeight + style.tickLength, width, -2 * charHeight, true), "rb");
}

void SOszi::paintYTicks(SDrawDevice& device, int y0) {
    const int left = dataRect.x;
    const int half = style.tickLength / 2;
    const int charHeight = 130 * style.fontSize / 4;
    const double raster = yRasterValue;
    // A raster that is not a positive number draws the zero tick only.
    const bool stepping = std::isfinite(raster) && raster > 0.0;
    const double allowance = stepping ? raster * tickAllowance : 0.0;

    auto tick = [&](double v) {
        const int yv = y0 - toUnits(static_cast<double>(yDataZoom) * v);
        device.drawLine(left - half, yv, left + half, yv);
        device.drawText(ValueFormat::format(yFormat, v, defaultLabelFormat),
                        SRect(0, yv + charHeight, left - 50, -2 * charHeight, true), "rv");
    };
    // Ticks start at zero, upward to yMax, then downward to yMin.
    for (int k = 0; k < maxTicks; ++k) {
        const double v = k == 0 ? 0.0 : k * raster;
        if (!(v <= yMax + allowance)) break;
        tick(v);
        if (!stepping) break;
    }
    if (!stepping) return;
    for (int k = 1; k <= maxTicks; ++k) {
        const double v = -k * raster;
        if (!(v >= yMin - allowance)) break;
        tick(v);
    }
}

void SOszi::paintXTicks(SDrawDevice& device, int y0) {
    const double step = static_cast<double>(xRasterValue) * xDataZoom;
    if (!(std::isfinite(step) && step > 0.0)) return;
    const int left = dataRect.x;
    const int half = style.tickLength / 2;
    const int charHeight = 130 * style.fontSize / 4;
    const int labelWidth = 25 * style.fontSize * xLabelLength + 50;
    // Ticks every raster from the zero line's left end; the labels count k x raster from there.
    for (int k = 1; k <= maxTicks; ++k) {
        const double p = k * step;
        if (!(dataRect.width > p)) break;
        const int xp = left + toUnits(p);
        device.drawLine(xp, y0 - half, xp, y0 + half);
        device.drawText(ValueFormat::format(xFormat, k * static_cast<double>(xRasterValue), defaultLabelFormat),
                        SRect(xp - labelWidth / 2, y0 - half - 10, labelWidth, -(50 + charHeight), true), "th");
    }
}

void SOszi::paintCurve(SDrawDevice& device, SOsziValues& values, uint32_t color, int y0, float& x0) {
    device.setPen(color, style.curvePenWidth, SDrawDevice::penSolid);
    const int left = dataRect.x;
    const int right = left + std::abs(dataRect.width);
    const int top = dataRect.y;
    const int bottom = top - std::abs(dataRect.height);
    const bool lines = style.curveStyle == 1;
    const int count = values.getSize();

    // A line joins two samples when both lie in the data area; consecutive samples inside it
    // make one polyline, and a sample outside ends it.
    run_.removeAll();
    auto flush = [&] {
        if (run_.getSize() >= 2) device.drawPolyline(run_);
        run_.removeAll();
    };
    for (int i = 0; i < count; ++i) {
        SOsziValue& value = values[i];
        if (xValuesRelative != 0 && i == 0) x0 = value.xValue;
        value.yCoord = y0 - toUnits(static_cast<double>(value.yValue) * yDataZoom);
        value.xCoord = left + toUnits((static_cast<double>(value.xValue) - x0) * xDataZoom);
        if (lines) {
            const bool inside = value.xCoord >= left && value.xCoord <= right && value.yCoord >= bottom &&
                                value.yCoord <= top;
            if (inside)
                run_.add(SPoint{value.xCoord, value.yCoord});
            else
                flush();
        } else {
            device.fillRect(SRect(value.xCoord - 30, value.yCoord + 30, 60, -60, true), color);
        }
    }
    flush();
}
