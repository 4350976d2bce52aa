// The curves of an oscilloscope: samples, their lists and the channel that owns them.
#pragma once

#include <cstdint>

#include "foundation/SLists.h"

// One sample: the raw inputs as received, the scaled values and the position paint gave it.
struct SOsziValue {
    // Correction offset + correction factor x y input.
    float yValue = 0.0F;
    float xValue = 0.0F;
    // Diagram units relative to the painter's top-left corner, written by SOszi::paint.
    int32_t xCoord = 0;
    // The sample counter (truncated) or, for pairs, the raw x byte.
    int32_t xInput = 0;
    int32_t yCoord = 0;
    // The byte or 16-bit word as received.
    int32_t yInput = 0;

    friend bool operator==(const SOsziValue&, const SOsziValue&) = default;
};

// The samples of one curve, oldest first. Stored by value in one block: a paint walks them in
// order, and a run can be copied as a whole (to keep it beside the next one).
class SOsziValues : public SList<SOsziValue> {
public:
    S_CLASSNAME(SOsziValues)

    SOsziValues() { items_.reserve(10); }

    // Drops the oldest count samples at once (all of them when there are fewer).
    void removeFirst(int count) {
        if (count <= 0) return;
        if (count >= getSize()) {
            items_.clear();
            return;
        }
        items_.erase(items_.begin(), items_.begin() + count);
    }
    void reserve(int count) {
        if (count > 0) items_.reserve(static_cast<std::size_t>(count));
    }
    // Direct access for the painters' inner loops; index must be valid.
    SOsziValue& operator[](int index) { return items_[static_cast<std::size_t>(index)]; }
    const SOsziValue& operator[](int index) const { return items_[static_cast<std::size_t>(index)]; }
};

// One curve: its samples and the corrections that turn raw inputs into values.
class SOsziChannel : public SObject {
public:
    S_CLASSNAME(SOsziChannel)

    static constexpr uint32_t defaultColor = 0x00FFC8C8;

    SOsziValues values;
    float yFactor = 1.0F;
    float yOffset = 0.0F;
    // 0x00BBGGRR: pen of the curve and fill of its squares.
    uint32_t color = defaultColor;
    // Used by x/y pairs only; counted samples take their x from the painter's counter.
    float xFactor = 1.0F;
    float xOffset = 0.0F;
};

class SOsziChannels : public SOwningList<SOsziChannel> {
public:
    S_CLASSNAME(SOsziChannels)
};
