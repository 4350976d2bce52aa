#include "platform/SysError.h"

#include <cerrno>
#include <cstring>

namespace platform {

int lastError() { return errno; }

std::string errorText(int code) {
    char buf[256];
    // GNU strerror_r returns a pointer that may or may not be buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    if (text == nullptr || *text == 0 || std::strncmp(text, "Unknown error", 13) == 0)
        return "Unbekannter Fehler " + std::to_string(code);
    return text;
}

}  // namespace platform
