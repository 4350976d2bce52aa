// Text to and from a terminal: terminals and shells speak UTF-8, the program Windows-1252.
#pragma once

#include <string>

#include "foundation/SString.h"

namespace gui {

// A command-line argument as the program's text; bytes that are no UTF-8 are taken as
// Windows-1252 as they stand.
SString fromTerminal(const std::string& text);
// The program's text as UTF-8 for standard output and error.
std::string toTerminal(const SString& text);

}  // namespace gui
