#include "repo/ViewElementData.h"

#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"

bool ViewElementData::load(int32_t number, const SFileIni& file, const SString& section) {
    objNr = number;
    if (objNr < minObjNr) return false;
    painterType = file.getValue(section, "painterType").toInt();
    baseObjNr = file.getValue(section, "baseObjNr").toInt();
    if (baseObjNr < minObjNr) return false;
    SString rect = file.getValue(section, "clientRect");
    clientRect.x = rect.cutFront(",").toInt();
    clientRect.y = rect.cutFront(",").toInt();
    clientRect.width = rect.cutFront(",").toInt();
    clientRect.height = rect.cutFront(",").toInt();
    clientRect.yUp = true;
    return true;
}

BaseElementData* ViewElementData::getBaseElement() const {
    if (baseElement && baseElement->getObjNr() != baseObjNr) {
        globalDebug().printf(
            "ERROR: ViewElement::getBaseElement(): pBaseElementData zeigt auf falsches Objekt, viewObjNr=%d, soll "
            "baseObjNr=%d, ist baseObjnr=%d",
            objNr, baseObjNr, baseElement->getObjNr());
        SApplicationBasic::wait(ElementData::getErrorPauseMs());
    }
    return baseElement;
}

void ViewElementData::setBaseElement(BaseElementData* base) {
    if (base && base->getObjNr() != baseObjNr) {
        globalDebug().printf(
            "ERROR: ViewElement::setBaseElement(): pBaseElementData zeigt auf falsches Objekt, viewObjNr=%d, soll "
            "baseObjNr=%d, ist baseObjnr=%d",
            objNr, baseObjNr, base->getObjNr());
        SApplicationBasic::wait(ElementData::getErrorPauseMs());
    }
    baseElement = base;
}

// The names come straight from the link: a mismatch was reported when it was made.
SString ViewElementData::getName() const { return baseElement ? baseElement->getName() : SString(); }

SString ViewElementData::getShortName() const { return baseElement ? baseElement->getShortName() : SString(); }
