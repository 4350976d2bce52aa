#include "view/Painter_Dummy.h"

void Painter_Dummy::paint(SDrawDevice& device) {
    if (element_) device.fillRect(getElementRect(), boxColor);
}
