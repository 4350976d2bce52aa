// The oscilloscope's drawing component: curves over a scaled, labelled pair of axes.
#pragma once

#include <cstdint>

#include "foundation/SGeometry.h"
#include "foundation/SString.h"
#include "gui/SDrawDevice.h"
#include "view/SOsziChannel.h"
#include "view/SOsziStyle.h"

// Lengths are diagram units, y upward; inside the oscilloscope the origin is the top-left corner
// of its rectangle, so the visible area lies at negative y. recalc makes the layout (ranges,
// label formats, rasters, the plotting area dataRect) once for a paint size; paint draws axes,
// ticks, labels and every channel's curve and writes each sample's coordinates.
//
// SOszi draws only through an SDrawDevice and is never a window of its own: the painter that
// owns it hands it the device.
class SOszi : public SObject {
public:
    S_CLASSNAME(SOszi)

    // The most ticks drawn on one side of an axis. A raster far too fine for its range (from an
    // edited repository) would otherwise draw labels by the million on top of each other.
    static constexpr int maxTicks = 1000;

    SOszi() = default;
    ~SOszi() override = default;
    SOszi(const SOszi&) = delete;
    SOszi& operator=(const SOszi&) = delete;

    // The layout for a paint area of paintWidth x paintHeight (height negative, extending
    // downward): effective y range, formats, rasters, zooms and dataRect. Sets the device's font.
    virtual void recalc(SDrawDevice& device, int paintWidth, int paintHeight);
    // Draws the whole oscilloscope at rect (its x and top edge), with the layout of the last
    // recalc, and stores each sample's coordinates. The device's world transform is restored.
    virtual void paint(SDrawDevice& device, const SRect& rect);
    // The longer character count of the two labels. An empty format, or one that is not a
    // single floating-point conversion, is replaced in place by the one-decimal default.
    virtual int getLabelLength(SString& format, float minimum, float maximum);

    void setXRange(float xMinimum, float xMaximum, int relative);
    // Configured y limits; OSZI_AUTO takes a limit from the first channel's values.
    void setYRange(float yMinimum, float yMaximum) {
        yMinSetting = yMinimum;
        yMaxSetting = yMaximum;
    }
    void setTexts(const SString& xCaption, const SString& yCaption) {
        xText = xCaption;
        yText = yCaption;
    }
    // Removes every channel's values; channels and settings stay.
    void clear();

    SOsziStyle& getStyle() { return style; }
    const SOsziStyle& getStyle() const { return style; }
    SOsziChannels& getChannels() { return channels; }
    const SOsziChannels& getChannels() const { return channels; }
    // Axis captions; the CSV export takes them as its column headers.
    const SString& getXText() const { return xText; }
    const SString& getYText() const { return yText; }

    float getYMinSetting() const { return yMinSetting; }
    float getYMaxSetting() const { return yMaxSetting; }
    float getXMin() const { return xMin; }
    float getXMax() const { return xMax; }
    int getXValuesRelative() const { return xValuesRelative; }

    // The layout as the last recalc made it.
    float getYMin() const { return yMin; }
    float getYMax() const { return yMax; }
    float getYRasterValue() const { return yRasterValue; }
    float getXRasterValue() const { return xRasterValue; }
    float getYDataZoom() const { return yDataZoom; }
    float getXDataZoom() const { return xDataZoom; }
    int getYLabelLength() const { return yLabelLength; }
    int getXLabelLength() const { return xLabelLength; }
    const SString& getYFormat() const { return yFormat; }
    const SString& getXFormat() const { return xFormat; }
    const SRect& getDataRect() const { return dataRect; }

    // Diagram units from a computed position: truncated toward zero, bounded so that sums of
    // positions cannot overflow, and 0 for a value that is not a number.
    static int32_t toUnits(double value);

protected:
    // The steps of paint, each with the layout of the last recalc and the zero line y0.
    void paintAxes(SDrawDevice& device, int y0);
    void paintYTicks(SDrawDevice& device, int y0);
    void paintXTicks(SDrawDevice& device, int y0);
    // One curve in its colour; x0 is the x value drawn at the left edge, taken from the first
    // sample in relative mode. Stores the samples' coordinates.
    void paintCurve(SDrawDevice& device, SOsziValues& values, uint32_t color, int y0, float& x0);
    // Hooks of paint for oscilloscopes that show more than their channels: what is drawn before
    // the curves (behind them), the samples drawn for channel c, and what is drawn over the
    // curves, with x0 as the curves were drawn. By default nothing, and the channel's values.
    virtual void paintBehind(SDrawDevice& device, int y0) {
        (void)device;
        (void)y0;
    }
    virtual SOsziValues& shownValues(int c) { return channels.getAt(c)->values; }
    virtual void paintOver(SDrawDevice& device, int y0, float x0) {
        (void)device;
        (void)y0;
        (void)x0;
    }

    SOsziStyle style;
    float yMinSetting = static_cast<float>(OSZI_AUTO);
    float yMaxSetting = static_cast<float>(OSZI_AUTO);
    SOsziChannels channels;
    SString yText;
    SString xText;
    float xRasterValue = 50.0F;
    float xMin = 0.0F;
    float yMin = 0.0F;
    float yMax = 1.0F;
    SString yFormat;
    int yLabelLength = 0;
    float yRasterValue = 1.0F;
    int xLabelLength = 0;
    SString xFormat;
    float yDataZoom = 1.0F;
    int xValuesRelative = 1;
    float xMax = 100.0F;
    float xDataZoom = 1.0F;
    SRect dataRect{0, 0, 0, 0, true};

private:
    // Points of the curve run being collected; kept between paints so a paint allocates nothing.
    SPointList run_;
};
