// A model element of the repository (section "BaseElement_<nr>"): names and description.
#pragma once

#include "foundation/SFileIni.h"
#include "repo/ElementData.h"

class BaseElementData : public ElementData {
public:
    S_CLASSNAME(BaseElementData)

    // Reads the element from its section of the repository: stores objNr (false when it is
    // below 100), then "painterType", "name", "shortName", "description" (missing entries read
    // as empty text); the painter type of every base element then becomes 1.
    bool load(int32_t number, const SFileIni& file, const SString& section);

    const SString& getName() const { return name; }
    const SString& getShortName() const { return shortName; }
    const SString& getDescription() const { return description; }

protected:
    SString name;
    SString shortName;
    SString description;
};
