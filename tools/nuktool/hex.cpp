// nuktool hex2bin / bin2hex: convert between Intel HEX files and flat binary images.
#include <string>

#include "Command.h"
#include "board/SHexFile.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"

namespace nuktool {
namespace {

const char* const hex2binUsage =
    "  nuktool hex2bin IN.hex OUT.bin            Intel HEX to a binary image (index = address, gaps 0x00)";
const char* const bin2hexUsage =
    "  nuktool bin2hex IN.bin OUT.hex            binary image to Intel HEX (16-byte records from address 0)";

// The library's texts end lines with "\r\n"; one line on the terminal reads better.
std::string oneLine(const SString& text) {
    std::string t = text.str();
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.replace(p, 2, ": ");
    while (!t.empty() && (t.back() == ' ' || t.back() == ':')) t.pop_back();
    return t;
}

// Reads the whole input file; the library's loaders treat a missing file as empty, the tool does not.
bool readInput(const std::string& path, SMem& bytes, std::string& error) {
    if (!SFileSystem::exists(SString(path))) {
        error = "cannot open '" + path + "': no such file";
        return false;
    }
    if (SFileSystem::isDirectory(SString(path))) {
        error = "cannot open '" + path + "': it is a directory";
        return false;
    }
    SString readError;
    if (!SFile::readFile(SString(path), bytes, &readError)) {
        error = oneLine(readError);
        return false;
    }
    return true;
}

int hex2bin(const Args& args) {
    if (args.size() != 2) return usageError("hex2bin: expected IN.hex OUT.bin");
    SMem text;
    std::string error;
    if (!readInput(args[0], text, error)) return failure(error);
    SHexFile hex;
    SMem image;
    if (!hex.getBinCodeFromString(text.toString(), image))
        return failure("'" + args[0] + "' is not a valid Intel HEX file: " + oneLine(hex.getError()));
    SString writeError;
    SString content(std::string(reinterpret_cast<const char*>(image.getData()), image.getSize()));
    if (!SFile::writeFile(SString(args[1]), content, &writeError)) return failure(oneLine(writeError));
    return 0;
}

int bin2hex(const Args& args) {
    if (args.size() != 2) return usageError("bin2hex: expected IN.bin OUT.hex");
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
