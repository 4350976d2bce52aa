// Named colours of the GUI toolkit.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "foundation/SString.h"

class QColor;

// Colours are 0x00BBGGRR values. Names compare without regard to case. A few defaults are
// there from the start: "windowBackground" (140, 140, 160), "separator" (230, 230, 230),
// "black", "white", "gray", "red", "green", "blue".
//
// globalColorMap() answers the most recently constructed map that still lives (one made on
// demand when there is none).
class SColorMap : public SObject {
public:
    S_CLASSNAME(SColorMap)

    static constexpr uint32_t noColor = 0xFFFFFFFF;
    static constexpr uint32_t rgb(int r, int g, int b) {
        return static_cast<uint32_t>(r & 0xFF) | (static_cast<uint32_t>(g & 0xFF) << 8) |
               (static_cast<uint32_t>(b & 0xFF) << 16);
    }
    static QColor toQColor(uint32_t color);
    static uint32_t fromQColor(const QColor& color);

    SColorMap();
    ~SColorMap() override;
    SColorMap(const SColorMap&) = delete;
    SColorMap& operator=(const SColorMap&) = delete;

    // The colour of that name, or def when there is none.
    uint32_t getColor(const SString& name, uint32_t def = noColor) const;
    void setColor(const SString& name, uint32_t color);
    bool hasColor(const SString& name) const;
    bool removeColor(const SString& name);
    int getSize() const { return static_cast<int>(colors_.size()); }

private:
    std::map<std::string, uint32_t> colors_;
};

SColorMap& globalColorMap();
