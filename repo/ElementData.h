// The common part of repository elements: object number, painter type and attributes.
#pragma once

#include <cstdint>

#include "repo/ElementAttributeListe.h"

// Object numbers of valid elements are 100 and above; smaller numbers (and negative ones read
// from a file) are refused when an element loads.
class ElementData : public SObject {
public:
    S_CLASSNAME(ElementData)

    static constexpr int32_t minObjNr = 100;

    ElementData() = default;
    ~ElementData() override = default;
    ElementData(const ElementData&) = delete;
    ElementData& operator=(const ElementData&) = delete;

    int32_t getObjNr() const { return objNr; }
    virtual int getPainterType() const { return painterType; }
    void setPainterType(int type) { painterType = type; }

    const ElementAttributeListe& getAttributes() const { return attributes; }
    ElementAttributeListe& getAttributes() { return attributes; }

    // The value of an attribute when it exists with exactly that type, else the default: an
    // integer attribute is not read as a double, nor the reverse.
    SString getAttributeString(const SString& key, const SString& defaultValue = SString()) const;
    int32_t getAttributeInt(const SString& key, int32_t defaultValue = 0) const;
    double getAttributeDouble(const SString& key, double defaultValue = 0.0) const;

    // The pause after a trace line about a broken link between elements (1000 ms), so the line
    // can be read as it comes; window messages are processed meanwhile. Tools that check many
    // repositories shorten it.
    static int getErrorPauseMs() { return errorPauseMs; }
    static void setErrorPauseMs(int ms) { errorPauseMs = ms; }

    // Reads the body of the element's "Attribute_<nr>" section: lines "key=type=value", "\r"
    // removed; the type is the first letter between the first and second "=" ('s', 'i', 'f',
    // else none); the value is everything after the second "=".
    void loadAttributes(const SString& sectionBody) { attributes.load(sectionBody); }

protected:
    inline static int errorPauseMs = 1000;
    int32_t objNr = 0;
    ElementAttributeListe attributes;
    int painterType = 0;
};
