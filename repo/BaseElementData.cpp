#include "repo/BaseElementData.h"

bool BaseElementData::load(int32_t number, const SFileIni& file, const SString& section) {
    objNr = number;
    if (objNr < minObjNr) return false;
    painterType = file.getValue(section, "painterType").toInt();
    name = file.getValue(section, "name");
    shortName = file.getValue(section, "shortName");
    description = file.getValue(section, "description");
    // Base elements are not drawn themselves; they all share the plain painter type.
    painterType = 1;
    return true;
}
