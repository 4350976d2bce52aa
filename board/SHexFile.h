// Intel HEX files: text to a flat memory image (index = target address) and back.
#pragma once

#include <cstddef>

#include "foundation/SMem.h"
#include "foundation/SString.h"

// Made on the stack for one operation. Failures give false; the error text and line say why
// (the callers word their own message for the user).
class SHexFile : public SObject {
public:
    S_CLASSNAME(SHexFile)

    // The largest image read or written. A HEX file for an AVR holds far less; the limit keeps
    // a stray extended address record from allocating gigabytes.
    static constexpr std::size_t maxImageSize = 16 * 1024 * 1024;

    // Reads the whole file quietly and parses it. A file that cannot be read gives an empty
    // text and so true with an empty image: callers that need data test the image size.
    bool loadFile(const SString& name, SMem& image);
    // Parses HEX text into image; true when every line was accepted. The checksum is only
    // traced, unknown record types are skipped, and data behind the end record is still read.
    // On failure the image keeps what was stored before the failing line (not cut to size).
    bool getBinCodeFromString(const SString& text, SMem& image);
    // Writes the image as HEX text ("w+b"); false when it cannot be written.
    bool saveFile(const SString& name, const SMem& image);
    // The HEX text of an image: data records of 16 bytes, extended linear address records
    // at every 64 KiB boundary from 0x10000 on, then the end record; lines end with "\r\n".
    // False (and an empty text) for an image larger than maxImageSize.
    bool getHexCodeFromBin(const SMem& image, SString& text);

    const SString& getError() const { return error_; }
    // The line (counted from 1) that ended a failed parse; 0 when none did.
    int getErrorLine() const { return errorLine_; }

private:
    SString error_;
    int errorLine_ = 0;
};
