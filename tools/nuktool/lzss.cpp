// nuktool compress / decompress: pack and unpack files in the library's LZSS format (".cxf").
#include <string>

#include "Command.h"
#include "foundation/SFile.h"
#include "foundation/SFileSystem.h"
#include "foundation/SKompress.h"

namespace nuktool {
namespace {

const char* const compressUsage =
    "  nuktool compress IN OUT                   pack a file into the LZSS format of .cxf files";
const char* const decompressUsage =
    "  nuktool decompress IN OUT                 unpack an LZSS file (.cxf) into its original bytes";

// The library's texts end lines with "\r\n"; one line on the terminal reads better.
std::string oneLine(const SString& text) {
    std::string t = text.str();
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;) t.replace(p, 2, ": ");
    while (!t.empty() && (t.back() == ' ' || t.back() == ':')) t.pop_back();
    return t;
}

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

bool writeOutput(const std::string& path, const SMem& bytes, std::string& error) {
    if (SFileSystem::isDirectory(SString(path))) {
        error = "cannot write '" + path + "': it is a directory";
        return false;
    }
    SFile file;
    if (!file.open(SString(path), "wb", true) ||
        !file.write(bytes.getData(), static_cast<int64_t>(bytes.getSize()))) {
        error = oneLine(file.getError());
        if (error.empty()) error = "cannot write '" + path + "'";
        return false;
    }
    return true;
}

int compress(const Args& args) {
    if (args.size() != 2) return usageError("compress: expected IN OUT");
    SMem input;
    std::string error;
    if (!readInput(args[0], input, error)) return failure(error);
    SKompress kompress;
    SMem packed = kompress.compress(input);
    if (!kompress.getError().isEmpty()) return failure("compress: " + oneLine(kompress.getError()));
    if (!writeOutput(args[1], packed, error)) return failure(error);
    return 0;
}

int decompress(const Args& args) {
    if (args.size() != 2) return usageError("decompress: expected IN OUT");
    SMem input;
    std::string error;
    if (!readInput(args[0], input, error)) return failure(error);
    SKompress kompress;
    SMem plain;
    if (!kompress.decompress(input, plain))
        return failure("cannot decompress '" + args[0] + "': " + oneLine(kompress.getError()));
    if (!writeOutput(args[1], plain, error)) return failure(error);
    return 0;
}

const Registration compressRegistration({"compress", compressUsage, compress});
const Registration decompressRegistration({"decompress", decompressUsage, decompress});

}  // namespace
}  // namespace nuktool
