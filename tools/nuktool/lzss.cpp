// nuktool compress / decompress: pack and unpack files in the library's LZSS format (".cxf").
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "foundation/SKompress.h"

namespace nuktool {
namespace {

const char* const compressUsage =
    "  nuktool compress IN OUT                   pack a file into the LZSS format of .cxf files";
const char* const decompressUsage =
    "  nuktool decompress IN OUT                 unpack an LZSS file (.cxf) into its original bytes";

int compress(const Args& args) {
    if (int refused = refuseOptions("compress", args)) return refused;
    if (args.size() != 2) return expectedArguments("compress", "IN OUT");
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
    if (int refused = refuseOptions("decompress", args)) return refused;
    if (args.size() != 2) return expectedArguments("decompress", "IN OUT");
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
