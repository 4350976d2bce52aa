// One typed attribute value of a repository element.
#pragma once

#include <cstdint>

#include "foundation/SString.h"

// The attribute line "key=type=value" of a repository; the type letter decides which of the
// three values is set. An attribute of type none exists but carries no usable value.
class ElementAttribut : public SObject {
public:
    S_CLASSNAME(ElementAttribut)

    enum Type { typeNone = 0, typeString = 1, typeInt = 2, typeDouble = 3 };

    ElementAttribut() = default;

    int getType() const { return type; }
    const SString& getString() const { return stringValue; }
    int32_t getInt() const { return intValue; }
    double getDouble() const { return doubleValue; }

    void setString(const SString& value);
    void setInt(int32_t value);
    void setDouble(double value);
    // Type none; the values are cleared.
    void setNone();
    // Sets the value from the text after the second "=" by the type letter: 's' string, 'i'
    // integer (SString::toInt: decimal, 0x, 0b, #RRGGBB colours), 'f' double; any other letter
    // gives type none.
    void setFromText(char typeLetter, const SString& valueText);

    // The value as text for listings ("" for type none).
    SString toString() const;
    // "none", "string", "int" or "double".
    static const char* typeName(int type);

    SString stringValue;
    int32_t intValue = 0;
    double doubleValue = 0.0;
    int type = typeNone;
};
