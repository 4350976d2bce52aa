// The look of an oscilloscope.
#pragma once

#include <cstdint>

#include "foundation/SString.h"

// Marks a setting that is computed when the layout is made. Stored in a float it reads
// 2147479296.0; a setting is automatic when it compares equal to that float.
inline constexpr int32_t OSZI_AUTO = 2147479278;  // 0x7FFFEEEE

inline bool isOsziAuto(float value) {
    return value == static_cast<float>(OSZI_AUTO);
}

// Lengths are diagram units (hundredths of a millimetre), colours 0x00BBGGRR.
class SOsziStyle : public SObject {
public:
    S_CLASSNAME(SOsziStyle)

    // Distance between x ticks, in x values.
    float xRasterValue = static_cast<float>(OSZI_AUTO);
    // Axes, ticks, labels and captions.
    uint32_t axisColor = 0x0000FF00;
    // Background, also behind texts.
    uint32_t backColor = 0x00000000;
    SString fontName = SString(std::string("Courier New"));
    // Points.
    int fontSize = 8;
    int curvePenWidth = 50;
    int axisPenWidth = 30;
    // Distance between y ticks, in y values.
    float yRasterValue = static_cast<float>(OSZI_AUTO);
    // printf formats of the labels, applied to one double; empty: one decimal place.
    SString yFormat;
    SString xFormat;
    // 1: x ticks and labels are drawn.
    int showXRaster = 1;
    // 1: lines between samples; anything else: a filled square per sample.
    int curveStyle = 1;
    // Full length of a tick.
    int tickLength = 160;
};
