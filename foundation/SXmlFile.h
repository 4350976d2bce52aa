// An XML document read from a file: plain ".xml" text or a compressed file (".cxf").
#pragma once

#include "foundation/SXmlData.h"

class SXmlFile : public SXmlData {
public:
    S_CLASSNAME(SXmlFile)

    // Reads and parses a file: ".xml" (any case) as text, any other extension as an SKompress
    // stream. Returns 0 when the file could not be read (getError() says why, and the debug
    // channel gets the line too), otherwise the result of parse. Meant for a fresh object.
    int load(const SString& fileName);
    // The error text of the last load; empty after a successful read.
    const SString& getError() const { return text_; }
};
