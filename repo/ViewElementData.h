// A view element of the repository (section "ViewElement_<nr>"): places a base element on a
// diagram with a rectangle and a painter type.
#pragma once

#include "foundation/SFileIni.h"
#include "foundation/SGeometry.h"
#include "repo/BaseElementData.h"

class ViewElementData : public ElementData {
public:
    S_CLASSNAME(ViewElementData)

    // Reads the element from its section: objNr and "baseObjNr" must be 100 or above (false
    // otherwise); "painterType"; "clientRect" is "x,y,width,height" (missing parts read as 0).
    bool load(int32_t number, const SFileIni& file, const SString& section);

    // Diagram units (hundredths of a millimetre, y upward): y is the top edge and a height
    // extending downward is negative. By reference, so painters and diagram objects can keep a
    // pointer to it while the project is open.
    SRect& getClientRect() { return clientRect; }
    const SRect& getClientRect() const { return clientRect; }
    int32_t getBaseObjNr() const { return baseObjNr; }

    // The linked base element (not owned), or nullptr. A base element whose number is not
    // baseObjNr (the fallback to element 100 was taken) is reported on the debug channel with
    // the error pause of ElementData, and returned anyway.
    BaseElementData* getBaseElement() const;
    // Links the base element (reported like getBaseElement when its number is not baseObjNr).
    void setBaseElement(BaseElementData* base);

    // Name and short name of the linked base element; empty without one.
    SString getName() const;
    SString getShortName() const;

protected:
    SRect clientRect{0, 0, 0, 0, true};
    int32_t baseObjNr = 0;
    BaseElementData* baseElement = nullptr;
};
