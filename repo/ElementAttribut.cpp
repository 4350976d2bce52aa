#include "repo/ElementAttribut.h"

void ElementAttribut::setString(const SString& value) {
    setNone();
    stringValue = value;
    type = typeString;
}

void ElementAttribut::setInt(int32_t value) {
    setNone();
    intValue = value;
    type = typeInt;
}

void ElementAttribut::setDouble(double value) {
    setNone();
    doubleValue = value;
    type = typeDouble;
}

void ElementAttribut::setNone() {
    stringValue.clear();
    intValue = 0;
    doubleValue = 0.0;
    type = typeNone;
}

void ElementAttribut::setFromText(char typeLetter, const SString& valueText) {
    switch (typeLetter) {
        case 's':
            setString(valueText);
            break;
        case 'i':
            setInt(valueText.toInt());
            break;
        case 'f':
            setDouble(valueText.toDouble());
            break;
        default:
            setNone();
    }
}

SString ElementAttribut::toString() const {
    switch (type) {
        case typeString:
            return stringValue;
        case typeInt:
            return SString::printf("%d", intValue);
        case typeDouble:
            return SString::printf("%.15g", doubleValue);
        default:
            return {};
    }
}

const char* ElementAttribut::typeName(int type) {
    switch (type) {
        case typeString:
            return "string";
        case typeInt:
            return "int";
        case typeDouble:
            return "double";
        default:
            return "none";
    }
}
