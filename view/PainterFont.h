// A font of a painter, read from element attributes.
#pragma once

#include <cstdint>

#include "foundation/SString.h"

class ElementData;
class SDrawDevice;

class PainterFont : public SObject {
public:
    S_CLASSNAME(PainterFont)

    // Reads prefix + "FontName" (string), "FontSize", "FontWeight", "FontColor",
    // "FontColorBack", "FontUnderline", "FontItalic" (integers); a missing key keeps the field.
    void load(const ElementData& element, const SString& prefix);
    // Text colour and background, then the font.
    void apply(SDrawDevice& device) const;

    int32_t size = 10;  // points
    SString name = SString(std::string("Arial"));
    int32_t weight = 400;
    uint32_t color = 0x00000000;
    // 0xFFFFFFFF: text without background; any other value draws an opaque background.
    uint32_t backColor = 0xFFFFFFFF;
    int32_t underline = 0;
    int32_t italic = 0;
};
