// Fuzzes the reader of the live view's control body, which takes bytes from anyone on the
// network. Checked on every run:
// - it never crashes, whatever the bytes (nesting, escapes, lone surrogates, NUL bytes);
// - a PIN it reports, written back as a JSON object, reads as the same PIN;
// - text after a complete object makes the body invalid.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "live/LiveJson.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_pinbody: invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    const livejson::PinBody read = livejson::readPinBody(body);
    if (read.status != livejson::PinBody::Status::ok) return 0;
    if (read.pin) {
        const livejson::PinBody again = livejson::readPinBody("{\"pin\":" + livejson::quote(*read.pin) + "}");
        check(again.status == livejson::PinBody::Status::ok && again.pin == read.pin, "PIN round trip");
    }
    check(livejson::readPinBody(body + "x").status != livejson::PinBody::Status::ok, "trailing text accepted");
    return 0;
}
