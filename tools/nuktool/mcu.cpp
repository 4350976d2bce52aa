// nuktool mcu: looks a microcontroller up in the MCU catalogue by name or signature.
#include <cstdio>

#include "Command.h"
#include "DataFiles.h"
#include "board/AvrMcuXml.h"
#include "foundation/SFileSystem.h"
#include "platform/Paths.h"

namespace nuktool {
namespace {

const char* const usage =
    "  nuktool mcu [--catalogue FILE] NAME|SIGNATURE\n"
    "                                            show a microcontroller of the catalogue (avr.cxf or\n"
    "                                            avr.xml), e.g. 'atmega8', '0x1E9307', '9307', '07931E'";

// The catalogue built beside nuktool (build/resources/avr.cxf), else the installed one.
SString defaultCatalogue() {
    return SString(tools::catalogueFile());
}

int run(const Args& args) {
    SString catalogue;
    std::string query;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--catalogue") {
            if (++i == args.size()) return usageError("mcu: " + languagechoice::missingValue("--catalogue"));
            catalogue = SString(args[i]);
        } else if (languagechoice::looksLikeOption(args[i])) {
            return usageError("mcu: " + languagechoice::unknownOption(args[i]));
        } else if (query.empty()) {
            query = args[i];
        } else {
            return usageError("mcu: " + languagechoice::unexpectedArgument(args[i]));
        }
    }
    if (query.empty()) return expectedArguments("mcu", "NAME|SIGNATURE");
    if (catalogue.isEmpty()) catalogue = defaultCatalogue();
    if (!SFileSystem::exists(catalogue)) return failure("catalogue '" + catalogue.str() + "' not found");

    AvrMcuXml& mcu = globalAvrMcuXml();
    mcu.setCatalogueFile(catalogue);
    if (!mcu.init()) return failure("cannot read the catalogue '" + catalogue.str() + "'");
    if (!mcu.select(SString(query))) {
        SString name = mcu.getPartName(SString(query));
        if (name.isEmpty() || !mcu.select(name))
            return failure("no microcontroller '" + query + "' in the catalogue");
    }
    std::printf("%s\n  signature  0x1E%s\n  flash      %d bytes\n  EEPROM     %d bytes\n", mcu.getSelectedMcu().c_str(),
                mcu.getSelectedSignature().c_str(), mcu.getFlashSize(), mcu.getEepromSize());
    return 0;
}

const Registration registration({"mcu", usage, run});

}  // namespace
}  // namespace nuktool
