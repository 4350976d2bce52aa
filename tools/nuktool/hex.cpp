// nuktool hex2bin / bin2hex: convert between Intel HEX files and flat binary images.
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "board/SHexFile.h"

namespace nuktool {
namespace {

const char* const hex2binUsage =
    "  nuktool hex2bin IN.hex OUT.bin            Intel HEX to a binary image (index = address, gaps 0x00)";
const char* const bin2hexUsage =
    "  nuktool bin2hex IN.bin OUT.hex            binary image to Intel HEX (16-byte records from address 0)";

int hex2bin(const Args& args) {
    if (int refused = refuseOptions("hex2bin", args)) return refused;
    if (args.size() != 2) return expectedArguments("hex2bin", "IN.hex OUT.bin");
    SMem text;
    std::string error;
    if (!readInput(args[0], text, error)) return failure(error);
    SHexFile hex;
    SMem image;
    if (!hex.getBinCodeFromString(text.toString(), image))
        return failure("'" + args[0] + "' is not a valid Intel HEX file: " + oneLine(hex.getError()));
    if (!writeOutput(args[1], image, error)) return failure(error);
    return 0;
}

int bin2hex(const Args& args) {
    if (int refused = refuseOptions("bin2hex", args)) return refused;
    if (args.size() != 2) return expectedArguments("bin2hex", "IN.bin OUT.hex");
    SMem image;
    std::string error;
    if (!readInput(args[0], image, error)) return failure(error);
    SHexFile hex;
    if (!hex.saveFile(SString(args[1]), image)) return failure(oneLine(hex.getError()));
    return 0;
}

const Registration hex2binRegistration({"hex2bin", hex2binUsage, hex2bin});
const Registration bin2hexRegistration({"bin2hex", bin2hexUsage, bin2hex});

}  // namespace
}  // namespace nuktool
