// The painter of an element whose painter type no painter knows: a light grey box.
#pragma once

#include "view/KeloPainter.h"

class Painter_Dummy : public KeloPainter {
public:
    S_CLASSNAME(Painter_Dummy)

    static constexpr uint32_t boxColor = 0x00F0F0F0;

    void paint(SDrawDevice& device) override;
};
