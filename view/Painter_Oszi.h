// The oscilloscope painter: draws an SOszi fed from named data channels.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/SLists.h"
#include "stream/ExtDataPointerList.h"
#include "view/KeloPainter.h"
#include "view/SOszi.h"

// Set-up (from KeloPainter::init): onConnectExtData makes one channel per name of the base
// element's "extData" attribute, with the correction factors and offsets of the view element's
// "OsziCorrection..." lists; loadAttributes reads ranges, rasters, formats, captions and the
// sample limit. Each update moves the bytes waiting in the channels' rings into samples and
// keeps at most maxValuesShowCount of them per channel; the first paint makes the layout.
//
// Data types: 1 one byte per sample, 2 one 16-bit little-endian word per sample (both with the
// x value from a counter shared by all channels, advanced by "OsziValueStepX"), 1002 an x byte
// and a y byte per sample.
class Painter_Oszi : public KeloPainter, public SOszi {
public:
    S_CLASSNAME(Painter_Oszi)

    // The sample limit until loadAttributes has read the key.
    static constexpr int defaultMaxValuesShowCount = 200;

    Painter_Oszi() = default;
    ~Painter_Oszi() override = default;

    // Ctrl + left button down inside the element writes the diagnostic dump (true); the clear
    // event 10005 empties every channel and asks for a repaint (false); anything else: false.
    bool handleEvent(SEvent& event) override;
    // New samples from the channels, then whether a repaint is due. Only new or dropped samples
    // (or a clear) ask for a repaint, so a poll without data leaves the oscilloscope alone.
    bool update() override;
    // Makes the layout at the first call, then draws at the element's rectangle.
    void paint(SDrawDevice& device) override;
    using SOszi::paint;
    // Writes the diagnostic dump to the debug channel.
    void onClick(int click) override;
    bool loadAttributes() override;
    bool onConnectExtData(const SString& names) override;

    // Moves the complete samples waiting in every bound channel into its values.
    void loadFromExtData();
    // The diagnostic dump, line by line: the layout and every sample of the first channel.
    SStringList getDumpLines() const;

    const ExtDataPointerList& getExtDataList() const { return extDataList; }
    // The x value of the next counted sample.
    double getXCounter() const { return xCounter; }
    float getXStep() const { return xStep; }
    int getMaxValuesShowCount() const { return maxValuesShowCount; }
    bool isRecalcDue() const { return needsRecalc != 0; }

protected:
    // Takes the samples of one channel; false when its data type is unknown.
    bool loadChannel(ExtData& extData, SOsziChannel& channel);

    ExtDataPointerList extDataList;
    int needsRecalc = 1;
    // Double, so that adding a step such as 0.1 thousands of times does not drift; each sample
    // still stores its x value as a float.
    double xCounter = 0.0;
    float xStep = 1.0F;
    int maxValuesShowCount = defaultMaxValuesShowCount;

private:
    // Bytes taken from a ring in one piece, kept between updates.
    std::vector<uint8_t> buffer_;
};
