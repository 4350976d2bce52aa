#include "view/PainterFactory.h"

#include "foundation/SDebug.h"
#include "repo/ViewElementData.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Button.h"
#include "view/Painter_Dummy.h"
#include "view/Painter_Oszi.h"

PainterFactory::~PainterFactory() {
    for (KeloPainter* painter : painters_) {
        painter->onExit();
        delete painter;
    }
    painters_.removeAll();
}

KeloPainter* PainterFactory::makePainter(int painterType) {
    switch (painterType) {
        case type7Segment:
            return new Painter_7Segment;
        case typeOszi:
            return new Painter_Oszi;
        case typeButton:
            return new Painter_Button;
        default:
            return new Painter_Dummy;
    }
}

KeloPainter* PainterFactory::createPainter(ViewElementData* element) {
    if (!element) return nullptr;
    const int painterType = element->getPainterType();
    KeloPainter* painter = makePainter(painterType);
    painters_.add(painter);
    painter->init(element, project_, painterType);
    return painter;
}

bool PainterFactory::recyclePainter(KeloPainter* painter) {
    const int at = painters_.find(painter);
    if (at < 0) {
        globalDebug().printf("FEHLER: PainterFactory::recyclePainter() unbekannter pPainter %p",
                             static_cast<void*>(painter));
        return false;
    }
    painters_.removeAt(at);
    painter->onExit();
    delete painter;
    return true;
}
