// The MCU catalogue: part names, signatures and memory sizes of the AVR microcontrollers,
// loaded once from the compressed catalogue "avr.cxf".
#pragma once

#include <memory>

#include "foundation/SString.h"

class SXmlFile;
class SXmlTag;

class AvrMcuXml : public SObject {
public:
    S_CLASSNAME(AvrMcuXml)

    AvrMcuXml();
    ~AvrMcuXml() override;

    // Loads the catalogue unless it is loaded; a second caller that arrives while a load is
    // running (through the event loop) waits for it. True when loaded.
    bool init();
    // Makes the part of that name (any letter case) the current part.
    bool select(const SString& mcu);
    // Flash size in bytes of the named part (the current part when the name is empty); -1 when
    // the catalogue or the part is missing, 0 when the part names no flash size.
    int getFlashSize(const SString& mcu = SString());
    // EEPROM size, like getFlashSize.
    int getEepromSize(const SString& mcu = SString());
    // The flash page in bytes of a part written page by page (64 for the ATmega8), 0 for a part
    // that writes its flash word by word; -1 like getFlashSize.
    int getFlashPageSize(const SString& mcu = SString());
    // The part name for a signature written as "1E9307", "0x1E9307", "9307" or reversed
    // "07931E"; empty when there is none.
    SString getPartName(const SString& signature);
    // The "mcu" name of the current part, empty without one.
    SString getSelectedMcu() const;
    // The "sig" digits of the current part, empty without one.
    SString getSelectedSignature() const;

    // Reads the catalogue from this file instead of the resource "avr.cxf" (tools and tests).
    void setCatalogueFile(const SString& path) { catalogueFile_ = path; }
    // Forgets a loaded catalogue so that the next query loads it again.
    void reset();

private:
    SXmlTag* findPart(const char* attribute, const SString& value);
    int getSize(const SString& mcu, const char* element);

    std::unique_ptr<SXmlFile> document_;
    SXmlTag* current_ = nullptr;
    SString catalogueFile_;
};

// The board catalogue "boards.xml": no flow reads it; it only exists among the global objects.
class AvrBoardXml : public SObject {
public:
    S_CLASSNAME(AvrBoardXml)
};

AvrMcuXml& globalAvrMcuXml();
AvrBoardXml& globalAvrBoardXml();
