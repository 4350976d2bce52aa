#include "board/AvrMcuXml.h"

#include "foundation/SApplicationBasic.h"
#include "foundation/SDebug.h"
#include "foundation/SResources.h"
#include "foundation/SXmlFile.h"
#include "foundation/SXmlTag.h"
#include "platform/Clock.h"

namespace {
enum LoadState { notLoaded = 0, loading = 1, loaded = 2 };
// One load per process; a failed load leaves it at notLoaded so the next query tries again.
int loadState = notLoaded;
}  // namespace

AvrMcuXml& globalAvrMcuXml() {
    static AvrMcuXml catalogue;
    return catalogue;
}

AvrBoardXml& globalAvrBoardXml() {
    static AvrBoardXml boards;
    return boards;
}

AvrMcuXml::AvrMcuXml() = default;
AvrMcuXml::~AvrMcuXml() = default;

void AvrMcuXml::reset() {
    current_ = nullptr;
    document_.reset();
    loadState = notLoaded;
}

bool AvrMcuXml::init() {
    // The event loop runs during a load, so a second query can arrive while the first loads.
    while (loadState == loading) SApplicationBasic::wait(20);
    if (loadState == loaded && document_) return true;
    loadState = loading;
    const int64_t started = platform::monotonicMs();
    current_ = nullptr;
    document_ = std::make_unique<SXmlFile>();
    SString path = catalogueFile_.isEmpty() ? globalResources().getFile("avr.cxf") : catalogueFile_;
    int result = path.isEmpty() ? 0 : document_->load(path);
    loadState = result != 0 ? loaded : notLoaded;
    globalDebug().printf("AvrMcuXml::init(..) dauer: %d ms",
                         static_cast<int>(platform::monotonicMs() - started));
    return loadState == loaded;
}

SXmlTag* AvrMcuXml::findPart(const char* attribute, const SString& value) {
    SXmlTag* avr = document_->getTag("AVR");
    if (!avr->isValid()) return avr;
    SXmlTag* part = avr->getChild("AVRPART");
    for (; part->isValid(); part = part->next())
        if (part->getAttribute(attribute, SString()).compareNoCase(value) == 0) return part;
    return part;
}

bool AvrMcuXml::select(const SString& mcu) {
    if (!init()) return false;
    current_ = findPart("mcu", mcu);
    return current_->isValid();
}

SString AvrMcuXml::getSelectedMcu() const {
    return current_ && current_->isValid() ? current_->getAttribute("mcu", SString()) : SString();
}

SString AvrMcuXml::getSelectedSignature() const {
    return current_ && current_->isValid() ? current_->getAttribute("sig", SString()) : SString();
}

int AvrMcuXml::getSize(const SString& mcu, const char* element) {
    if (!init()) return -1;
    SXmlTag* part = mcu.isEmpty() ? current_ : findPart("mcu", mcu);
    if (!part || !part->isValid()) return -1;
    SXmlTag* size = part->getChild(element);
    if (!size->isValid()) return 0;
    return size->getText().trim().toInt();
}

int AvrMcuXml::getFlashSize(const SString& mcu) {
    return getSize(mcu, "PROG_FLASH");
}

int AvrMcuXml::getFlashPageSize(const SString& mcu) {
    return getSize(mcu, "FLASH_PAGE_SIZE");
}

int AvrMcuXml::getEepromSize(const SString& mcu) {
    return getSize(mcu, "EEPROM");
}

SString AvrMcuXml::getPartName(const SString& signature) {
    if (!init()) return {};
    SString value = signature;
    if (value.getLength() > 4) {
        if (value.startsWith("0x")) value = value.mid(value.find("0x") + 2);
        value.toUpper();
        if (value.startsWith("1E")) value = value.mid(value.find("1E") + 2);
        // Read backwards: third byte, second byte, then the maker's 0x1E.
        if (value.endsWith("1E")) value = value.mid(2, 2) + value.mid(0, 2);
    }
    SXmlTag* part = value.isEmpty() ? current_ : findPart("sig", value);
    if (!part || !part->isValid()) return {};
    return part->getChild("ADMIN")->getChild("PART_NAME")->getText();
}
