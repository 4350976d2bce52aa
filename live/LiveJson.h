// The JSON the live view speaks: numbers and texts written for the API, and the one body it
// reads, the control request {"pin":"123456"}.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace livejson {

// A text as a JSON string with quotes; control characters, quotes and backslashes escaped.
// The text must be UTF-8.
std::string quote(std::string_view text);
// A number in its shortest exact form ("4.71", "0.1"); NaN and infinities become null.
std::string number(double value);

// What a control request's body said.
struct PinBody {
    enum class Status {
        ok,        // a JSON object; pin holds its "pin" member when that is a string
        badJson,   // not JSON, or JSON but no object, or nested deeper than allowed
    };
    Status status = Status::badJson;
    std::optional<std::string> pin;
};
// Reads a control request's body: it must be exactly one JSON object (RFC 8259, whitespace
// around it allowed). A member "pin" that is a string is the PIN; any other member is ignored.
PinBody readPinBody(std::string_view body);

}  // namespace livejson
