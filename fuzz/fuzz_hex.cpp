// Intel HEX: arbitrary text must parse without crashing or growing an image past the limit;
// an image parsed from it and an image built from the input bytes must survive write and read.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "board/SHexFile.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// Writes the image and reads it back: the same bytes, and only for images within the limit.
void roundTrip(const SMem& image) {
    SHexFile hex;
    SString text;
    check(hex.getHexCodeFromBin(image, text) == (image.getSize() <= SHexFile::maxImageSize));
    SMem back;
    check(hex.getBinCodeFromString(text, back));
    check(back == image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    SHexFile hex;
    SMem image;
    const bool ok = hex.getBinCodeFromString(SString(input), image);
    check(image.getSize() <= SHexFile::maxImageSize);
    check(ok == (hex.getErrorLine() == 0));
    // Large parsed images are slow to write; the built images below cover the long ones.
    if (ok && image.getSize() <= 128 * 1024) roundTrip(image);

    // An image from the input bytes: the first byte repeats the rest, a second byte from 0xF0
    // up puts 64 to 124 KiB of zeros in front, so some images reach past 64 KiB boundaries
    // while most stay small and quick.
    if (size >= 2) {
        const std::size_t repeat = 1 + data[0] % 16;
        const std::size_t lead =
            data[1] < 0xF0 ? 0 : 0xFF00 + static_cast<std::size_t>(data[1] & 0x0F) * 4096;
        SMem built(lead);
        for (std::size_t r = 0; r < repeat; ++r) built.append(data + 2, size - 2);
        roundTrip(built);
    }
    return 0;
}
