#include "repo/ElementData.h"

SString ElementData::getAttributeString(const SString& key, const SString& defaultValue) const {
    const ElementAttribut& a = attributes.get(key);
    return a.type == ElementAttribut::typeString ? a.stringValue : defaultValue;
}

int32_t ElementData::getAttributeInt(const SString& key, int32_t defaultValue) const {
    const ElementAttribut& a = attributes.get(key);
    return a.type == ElementAttribut::typeInt ? a.intValue : defaultValue;
}

double ElementData::getAttributeDouble(const SString& key, double defaultValue) const {
    const ElementAttribut& a = attributes.get(key);
    return a.type == ElementAttribut::typeDouble ? a.doubleValue : defaultValue;
}
