// LZSS codec of the library's compressed files (".cxf"): magic "tr\x0C", 4096-byte ring,
// matches of 3 to 18 bytes.
#pragma once

#include "foundation/SMem.h"
#include "foundation/SString.h"

class SKompress : public SObject {
public:
    S_CLASSNAME(SKompress)

    // Unpacks a stream; an empty result with getError() set on failure.
    SMem decompress(const SMem& input);
    // The same, with a result that tells a failure from a stream that unpacks to nothing.
    bool decompress(const SMem& input, SMem& output);
    // Packs bytes into a stream that decompress reads.
    SMem compress(const SMem& input);
    const SString& getError() const { return error_; }
    // Progress of the running operation in percent (consumed input / total input).
    int getProgress() const { return progress_; }

private:
    SString error_;
    int progress_ = 0;
};
