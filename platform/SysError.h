// Error texts of the operating system.
#pragma once
#include <string>

namespace platform {

// The last error code of the calling thread (errno).
int lastError();
// The system's text for an error code; "Unbekannter Fehler <code>" when it has none.
std::string errorText(int code);

}  // namespace platform
